#include "layout/LayoutTranslator.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>

namespace quillon {
namespace {

// The code point at `offset`, which moves past it; negative for malformed
// UTF-8, after skipping the malformed bytes.
UChar32 nextCodePoint(std::string_view text, int32_t& offset) {
  UChar32 codePoint = 0;
  // ICU's decoding macro narrows internally.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
  U8_NEXT(text.data(), offset, static_cast<int32_t>(text.size()), codePoint);
#pragma GCC diagnostic pop
  return codePoint;
}

constexpr std::string_view kEnglish = "en";
constexpr std::string_view kRussian = "ru";

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

struct UTextCloser {
  void operator()(UText* text) const { utext_close(text); }
};

// Every single code point is one grapheme cluster, and keys almost always
// type one; the break iterator is only for the rare key that types more.
bool isOneCharacterByBreakIterator(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UText, UTextCloser> utext(
      utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  const std::unique_ptr<icu::BreakIterator> characters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) {
    return false;
  }
  characters->setText(utext.get(), status);
  if (U_FAILURE(status)) {
    return false;
  }
  characters->first();
  return characters->next() == static_cast<int32_t>(text.size());
}

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

bool LayoutTranslator::isOneCharacter(std::string_view text) {
  // Keys type a few code units at most; the bound keeps a runaway string from
  // ICU's 32-bit offsets and from a long walk.
  constexpr std::size_t kLongestCharacter = 1024;
  if (text.empty() || text.size() > kLongestCharacter) {
    return false;
  }
  const std::optional<std::size_t> codePoints = countCodePoints(text);
  return codePoints && (*codePoints == 1 || isOneCharacterByBreakIterator(text));
}

} // namespace quillon
