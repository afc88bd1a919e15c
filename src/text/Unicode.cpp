#include "text/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace quillon {
namespace {
constexpr UChar32 replacementCharacter = 0xFFFD;
} // namespace

UChar32 nextCodePoint(std::string_view text, int32_t& offset) {
  UChar32 codePoint = 0;
// ICU's decoding macro narrows internally.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
  U8_NEXT(text.data(), offset, static_cast<int32_t>(text.size()), codePoint);
#pragma GCC diagnostic pop
  return codePoint;
}

std::optional<std::u32string> decodeUtf8(std::string_view text) {
  std::u32string decoded;
  int32_t offset = 0;
  while (offset < static_cast<int32_t>(text.size())) {
    const UChar32 codePoint = nextCodePoint(text, offset);
    if (codePoint < 0) {
      return std::nullopt;
    }
    decoded.push_back(static_cast<char32_t>(codePoint));
  }
  return decoded;
}

std::string encodeUtf8(char32_t codePoint) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool failed = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
  U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(codePoint), failed);
#pragma GCC diagnostic pop
  return failed ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

icu::UnicodeString toUnicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t offset = 0; offset < length;) {
    UChar32 codePoint = nextCodePoint(text, offset);
    if (codePoint < 0) {
      codePoint = replacementCharacter;
    }
    if (U_IS_BMP(codePoint)) {
      result.push_back(static_cast<char16_t>(codePoint));
    } else {
      result.push_back(static_cast<char16_t>(U16_LEAD(codePoint)));
      result.push_back(static_cast<char16_t>(U16_TRAIL(codePoint)));
    }
  }
  return result;
}

std::string toUtf8(std::u16string_view text) {
  std::string result;
  result.reserve(text.size() * 2);
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t offset = 0; offset < length;) {
    UChar32 codePoint = 0;
    U16_NEXT(text.data(), offset, length, codePoint);
    if (U_IS_SURROGATE(codePoint)) {
      codePoint = replacementCharacter;
    }
    char bytes[U8_MAX_LENGTH];
    int32_t used = 0;
    U8_APPEND_UNSAFE(bytes, used, codePoint);
    result.append(bytes, static_cast<std::size_t>(used));
  }
  return result;
}

std::string uppercased(std::string_view text) {
  return toUtf8(toUnicode(text).toUpper(icu::Locale::getRoot()));
}

std::string lowercased(std::string_view text) {
  return toUtf8(toUnicode(text).toLower(icu::Locale::getRoot()));
}

namespace {
struct UTextCloser {
  void operator()(UText* text) const { utext_close(text); }
};
} // namespace

namespace {

// Code points no segmentation rule joins to a neighbour: they are neither
// marks, joiners, prepended or spacing marks, regional indicators nor Hangul
// jamo or syllables. Latin, Greek and Cyrillic letters and everyday
// punctuation, which is nearly all the product's text.
bool standsAlone(UChar32 codePoint) {
  constexpr UChar32 combiningMarksStart = 0x300;
  constexpr UChar32 greekStart = 0x370;
  constexpr UChar32 cyrillicMarksStart = 0x483; // to 0x489
  constexpr UChar32 cyrillicMarksEnd = 0x489;
  constexpr UChar32 cyrillicSupplementEnd = 0x52F;
  constexpr UChar32 dashesStart = 0x2010; // dashes, quotes, bullets, ellipsis
  constexpr UChar32 dashesEnd = 0x2027;
  return (codePoint >= 0 && codePoint < combiningMarksStart) ||
         (codePoint >= greekStart && codePoint < cyrillicMarksStart) ||
         (codePoint > cyrillicMarksEnd && codePoint <= cyrillicSupplementEnd) ||
         (codePoint >= dashesStart && codePoint <= dashesEnd);
}

bool everyCodePointStandsAlone(std::string_view text) {
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t offset = 0; offset < length;) {
    if (!standsAlone(nextCodePoint(text, offset))) {
      return false;
    }
  }
  return true;
}

// Where every code point stands alone, so does every character, except a
// carriage return and the line feed after it.
void forEachStandaloneCharacter(std::string_view text,
                                const std::function<void(std::string_view)>& visit) {
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t start = 0; start < length;) {
    int32_t end = start;
    nextCodePoint(text, end);
    if (text[static_cast<std::size_t>(start)] == '\r' && end < length &&
        text[static_cast<std::size_t>(end)] == '\n') {
      ++end;
    }
    visit(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
    start = end;
  }
}

// Building character rules from ICU's data costs far more than copying a
// built iterator, which shares that data.
std::unique_ptr<icu::BreakIterator> makeCharacterIterator(UErrorCode& status) {
  static const std::unique_ptr<const icu::BreakIterator> prototype = [] {
    UErrorCode creation = U_ZERO_ERROR;
    std::unique_ptr<const icu::BreakIterator> made(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), creation));
    return U_SUCCESS(creation) ? std::move(made) : nullptr;
  }();
  if (!prototype) {
    status = U_MISSING_RESOURCE_ERROR;
    return nullptr;
  }
  return std::unique_ptr<icu::BreakIterator>(prototype->clone());
}

} // namespace

bool forEachCharacter(std::string_view text, const std::function<void(std::string_view)>& visit) {
  if (everyCodePointStandsAlone(text)) {
    forEachStandaloneCharacter(text, visit);
    return true;
  }
  UErrorCode status = U_ZERO_ERROR;
  // Reading the UTF-8 in place keeps the slices exact byte ranges.
  const std::unique_ptr<UText, UTextCloser> utext(
      utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  const std::unique_ptr<icu::BreakIterator> characters = makeCharacterIterator(status);
  if (U_FAILURE(status) || !characters) {
    return false;
  }
  characters->setText(utext.get(), status);
  if (U_FAILURE(status)) {
    return false;
  }
  int32_t start = characters->first();
  for (int32_t end = characters->next(); end != icu::BreakIterator::DONE;
       start = end, end = characters->next()) {
    visit(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
  }
  return true;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  if (!forEachCharacter(text, [&count](std::string_view) { ++count; })) {
    return static_cast<std::size_t>(toUnicode(text).countChar32());
  }
  return count;
}

} // namespace quillon
