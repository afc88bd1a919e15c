#include "layout/LayoutTranslator.h"

#include "text/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace quillon {
namespace {

constexpr std::string_view kEnglish = "en";
constexpr std::string_view kRussian = "ru";

// The keypad's key codes: decimal, multiply, plus, clear, divide, enter,
// minus, equals, then the digits 0 to 9.
constexpr std::array<KeyCode, 18> kKeypadKeys{65, 67, 69, 71, 75, 76, 78, 81, 82,
                                              83, 84, 85, 86, 87, 88, 89, 91, 92};

// Palettes and input methods that are not keyboard modes cannot stand in for
// a layout: their keys do not type through layout data.
bool canStandForLanguage(const InputSourceInfo& source) {
  return source.selectCapable == true &&
         (source.type == inputsource::TypeKeyboardLayout ||
          source.type == inputsource::TypeKeyboardInputMode) &&
         !source.languages.empty();
}

struct PairSearch {
  std::optional<std::string> en;
  std::optional<std::string> ru;

  // Returns false once both are found: later sources could not change them.
  bool consider(const InputSourceInfo& source) {
    // Sources are named by identifier across the platform boundary; one
    // without cannot be translated through or selected, so it is passed over
    // as if absent rather than letting it hide a usable source after it.
    if (!source.identifier || !canStandForLanguage(source)) {
      return true;
    }
    const std::string& language = source.languages.front();
    if (language == kEnglish && !en) {
      en = source.identifier;
    } else if (language == kRussian && !ru) {
      ru = source.identifier;
    }
    return !(en && ru);
  }
};

// A key that types malformed text types nothing usable.
std::optional<std::size_t> countCodePoints(std::string_view text) {
  std::size_t count = 0;
  for (int32_t offset = 0; static_cast<std::size_t>(offset) < text.size(); ++count) {
    if (nextCodePoint(text, offset) < 0) {
      return std::nullopt;
    }
  }
  return count;
}

} // namespace

std::optional<EnglishAndRussian> LayoutTranslator::enabledEnglishAndRussian() const {
  const auto revision = sources_.revision();
  if (!revision) {
    return searchEnglishAndRussian();
  }
  if (revision != foundAtRevision_) {
    foundPair_ = searchEnglishAndRussian();
    foundAtRevision_ = revision;
  }
  return foundPair_;
}

std::optional<EnglishAndRussian> LayoutTranslator::searchEnglishAndRussian() const {
  PairSearch search;
  sources_.visitKeyboardSources(
      false, [&search](const InputSourceInfo& source) { return search.consider(source); });
  if (!search.en || !search.ru) {
    return std::nullopt;
  }
  return EnglishAndRussian{std::move(*search.en), std::move(*search.ru)};
}

std::optional<std::string> LayoutTranslator::character(KeyCode keyCode,
                                                       std::string_view sourceIdentifier) const {
  std::optional<std::string> typed = sources_.translateKey(sourceIdentifier, keyCode);
  if (!typed || !isOneCharacter(*typed)) {
    return std::nullopt;
  }
  return typed;
}

std::optional<std::string>
LayoutTranslator::shiftedCharacter(KeyCode keyCode, std::string_view sourceIdentifier) const {
  std::optional<std::string> typed = sources_.translateShiftedKey(sourceIdentifier, keyCode);
  if (!typed || !isOneCharacter(*typed)) {
    return std::nullopt;
  }
  return typed;
}

bool LayoutTranslator::isKeypadKey(KeyCode keyCode) {
  return std::find(kKeypadKeys.begin(), kKeypadKeys.end(), keyCode) != kKeypadKeys.end();
}

bool LayoutTranslator::isOneCharacter(std::string_view text) {
  // Keys type a few code units at most; the bound keeps a runaway string from
  // ICU's 32-bit offsets and from a long walk.
  constexpr std::size_t kLongestCharacter = 1024;
  if (text.empty() || text.size() > kLongestCharacter) {
    return false;
  }
  // A single code point is always one character, and keys almost always type
  // one: segmentation is only for the rare key that types more.
  const std::optional<std::size_t> codePoints = countCodePoints(text);
  return codePoints && (*codePoints == 1 || characterCount(text) == 1);
}

} // namespace quillon
