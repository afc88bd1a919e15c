#include "layout/SelectionConverter.h"

#include "text/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace quillon {
namespace {

// The highest key code whose character can enter the maps: beyond it are no
// character keys.
constexpr KeyCode kLastMappedKey = 127;

// Case mapping can change the number of characters ("ß" upper-cases to "SS").
// A character must stay one character, so such a mapping is not taken.
std::optional<std::string> asOneCharacter(std::string text) {
  if (!LayoutTranslator::isOneCharacter(text)) {
    return std::nullopt;
  }
  return text;
}

bool hasCasedCodePoint(std::string_view character) {
  for (int32_t offset = 0; static_cast<std::size_t>(offset) < character.size();) {
    const UChar32 codePoint = nextCodePoint(character, offset);
    if (codePoint >= 0 && u_hasBinaryProperty(codePoint, UCHAR_CASED)) {
      return true;
    }
  }
  return false;
}

// A character of one code point has the Unicode Uppercase property; one of
// several is upper-case when it is cased and only lower-casing changes it.
bool isUpperCase(std::string_view character) {
  int32_t offset = 0;
  const UChar32 first = nextCodePoint(character, offset);
  if (static_cast<std::size_t>(offset) == character.size()) {
    return first >= 0 && u_hasBinaryProperty(first, UCHAR_UPPERCASE);
  }
  return uppercased(character) == character && lowercased(character) != character &&
         hasCasedCodePoint(character);
}

std::optional<std::string> mapped(const SelectionConverter::CharMap& map,
                                  std::string_view character) {
  const auto found = map.find(std::string(character));
  if (found == map.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::string convertCharacter(std::string_view character, const SelectionConverter::CharMap& map) {
  if (auto exact = mapped(map, character)) {
    return std::move(*exact);
  }
  const std::optional<std::string> lower = asOneCharacter(lowercased(character));
  std::optional<std::string> target = lower ? mapped(map, *lower) : std::nullopt;
  if (!target) {
    return std::string(character);
  }
  if (!isUpperCase(character)) {
    return std::move(*target);
  }
  std::optional<std::string> upper = asOneCharacter(uppercased(*target));
  return upper ? std::move(*upper) : std::move(*target);
}

struct ScriptCounts {
  std::size_t latin = 0;
  std::size_t cyrillic = 0;
};

// The basic Cyrillic letters are the two-byte UTF-8 sequences D0 90–D0 BF and
// D1 80–D1 8F, with Ё as D0 81 and ё as D1 91.
bool isCyrillicLetter(unsigned char lead, unsigned char trail) {
  return (lead == 0xD0 && (trail == 0x81 || (trail >= 0x90 && trail <= 0xBF))) ||
         (lead == 0xD1 && (trail == 0x91 || (trail >= 0x80 && trail <= 0x8F)));
}

// Told apart on the bytes, so text of any length is read in one pass: an ASCII
// byte is always a whole scalar, and lead bytes are never continuation bytes,
// so malformed text cannot make a letter appear where there is none.
ScriptCounts countScripts(std::string_view text) {
  ScriptCounts counts;
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    const auto byte = static_cast<unsigned char>(text[offset]);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
      ++counts.latin;
    } else if (offset + 1 < text.size() &&
               isCyrillicLetter(byte, static_cast<unsigned char>(text[offset + 1]))) {
      ++counts.cyrillic;
      ++offset;
    }
  }
  return counts;
}

} // namespace

SelectionConverter::CharMaps SelectionConverter::buildCharMaps(const LayoutTranslator& translator,
                                                               std::string_view en,
                                                               std::string_view ru) {
  CharMaps maps;
  for (KeyCode key = 0; key <= kLastMappedKey; ++key) {
    // The keypad's decimal key types "," on the Russian layout and "." on
    // the English one; mapping those would turn every Russian comma into a
    // period.
    if (LayoutTranslator::isKeypadKey(key)) {
      continue;
    }
    const std::optional<std::string> english = translator.character(key, en);
    const std::optional<std::string> russian = translator.character(key, ru);
    if (!english || !russian) {
      continue;
    }
    // No character lower-cases to several today; should one, it is kept as
    // the layout types it rather than dropped.
    std::string lowerEnglish = asOneCharacter(lowercased(*english)).value_or(*english);
    std::string lowerRussian = asOneCharacter(lowercased(*russian)).value_or(*russian);
    maps.enToRu.try_emplace(lowerEnglish, lowerRussian);
    maps.ruToEn.try_emplace(std::move(lowerRussian), std::move(lowerEnglish));
  }
  return maps;
}

SelectionConverter::Direction SelectionConverter::detectDirection(std::string_view text) {
  const auto [latin, cyrillic] = countScripts(text);
  if (latin > 0 && cyrillic == 0) {
    return Direction::enToRu;
  }
  if (cyrillic > 0 && latin == 0) {
    return Direction::ruToEn;
  }
  if (latin > 3 * cyrillic) {
    return Direction::enToRu;
  }
  if (cyrillic > 3 * latin) {
    return Direction::ruToEn;
  }
  return Direction::undecided;
}

std::string SelectionConverter::transliterate(std::string_view text, const CharMap& map) {
  std::string result;
  result.reserve(text.size());
  const bool segmented =
      text.size() <= INT32_MAX &&
      forEachCharacter(text, [&](std::string_view c) { result += convertCharacter(c, map); });
  // Without ICU's break data nothing can be converted safely, and losing the
  // user's text would be worse than leaving it alone.
  if (!segmented) {
    return std::string(text);
  }
  return result;
}

void SelectionConverter::copyShortcut(KeyCode key) {
  services_.synthesizer.postShortcut(key);
}

void SelectionConverter::convertSelectionOrFallback(std::function<void()> noSelectionFallback) {
  if (converting_) {
    services_.log.write("Quillon: selection conversion already running — ignored");
    return;
  }
  if (!services_.translator.enabledEnglishAndRussian()) {
    noSelectionFallback();
    return;
  }
  converting_ = true;
  pasteboardHold_ = services_.pasteboard.holdForOwnUse();
  std::vector<PasteboardItem> saved = services_.pasteboard.items();
  // The empty text tells an unsuccessful copy from a successful one.
  services_.pasteboard.setString("");
  copyShortcut(keycode::C);
  services_.mainQueue.asyncAfter(
      copyWait,
      lifetime_.guard([this, saved = std::move(saved), fallback = std::move(noSelectionFallback)] {
        completeAfterCopy(saved, fallback);
      }));
}

void SelectionConverter::completeAfterCopy(const std::vector<PasteboardItem>& saved,
                                           const std::function<void()>& noSelectionFallback) {
  const auto text = services_.pasteboard.string();
  if (!text || text->empty()) {
    finish(saved);
    noSelectionFallback();
    return;
  }
  const auto pair = services_.translator.enabledEnglishAndRussian();
  const Direction direction = detectDirection(*text);
  if (!pair || direction == Direction::undecided) {
    finish(saved);
    return;
  }
  const CharMaps maps = buildCharMaps(services_.translator, pair->en, pair->ru);
  const bool toRussian = direction == Direction::enToRu;
  const std::string converted = transliterate(*text, toRussian ? maps.enToRu : maps.ruToEn);
  services_.pasteboard.setString(converted);
  services_.inputSources.select(toRussian ? pair->ru : pair->en);
  copyShortcut(keycode::V);
  services_.mainQueue.asyncAfter(pasteWait, lifetime_.guard([this, saved] { finish(saved); }));
}

void SelectionConverter::finish(const std::vector<PasteboardItem>& saved) {
  restore(services_.pasteboard, saved);
  pasteboardHold_.release();
  converting_ = false;
}

void SelectionConverter::restore(Pasteboard& pasteboard, const std::vector<PasteboardItem>& items) {
  pasteboard.clearContents();
  if (items.empty()) {
    return;
  }
  pasteboard.writeItems(items);
}

} // namespace quillon
