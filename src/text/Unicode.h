#pragma once

#include <unicode/unistr.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Text crosses the product as UTF-8; these are the few conversions and
// questions every subsystem asks of it, answered by ICU in one place.

// The code point at offset, which moves past it; negative for malformed
// UTF-8, after skipping the malformed bytes.
UChar32 nextCodePoint(std::string_view text, int32_t& offset);

// Every code point, or nothing when the text is not well-formed UTF-8.
std::optional<std::u32string> decodeUtf8(std::string_view text);
std::string encodeUtf8(char32_t codePoint);

icu::UnicodeString toUnicode(std::string_view text);
std::string toUtf8(const icu::UnicodeString& text);
// The same conversions between UTF-8 and UTF-16 strings, for text that
// travels in events; malformed input becomes U+FFFD, as with ICU's.
std::u16string toUtf16(std::string_view text);
std::string toUtf8(std::u16string_view text);

// Full case mapping, independent of the user's locale.
std::string uppercased(std::string_view text);
std::string lowercased(std::string_view text);

// Calls visit with each user-perceived character (extended grapheme cluster)
// in order, as an exact slice of the text, malformed bytes included. False
// when ICU cannot segment the text.
bool forEachCharacter(std::string_view text, const std::function<void(std::string_view)>& visit);
std::size_t characterCount(std::string_view text);

} // namespace quillon
