#include "text/LogLine.h"

#include "text/Unicode.h"

#include <array>

namespace quillon {

namespace {

constexpr char32_t lastC0Control = 0x1F;
constexpr char32_t deleteCharacter = 0x7F;
constexpr char32_t firstC1Control = 0x80;
constexpr char32_t lastC1Control = 0x9F;
constexpr char32_t lineSeparator = 0x2028;
constexpr char32_t paragraphSeparator = 0x2029;

constexpr std::string_view hexDigits = "0123456789ABCDEF";

void appendByteEscape(std::string& out, unsigned char byte) {
  out += "\\x";
  out.push_back(hexDigits[byte >> 4]);
  out.push_back(hexDigits[byte & 0xF]);
}

void appendCodePointEscape(std::string& out, char32_t codePoint) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    out.push_back(hexDigits[(codePoint >> shift) & 0xF]);
  }
}

// Characters a terminal or a log viewer would act on instead of showing.
bool breaksTheLine(char32_t codePoint) {
  return codePoint <= lastC0Control || codePoint == deleteCharacter ||
         (codePoint >= firstC1Control && codePoint <= lastC1Control) ||
         codePoint == lineSeparator || codePoint == paragraphSeparator;
}

} // namespace

std::string printableLogLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  int32_t offset = 0;
  const auto size = static_cast<int32_t>(line.size());
  while (offset < size) {
    const int32_t start = offset;
    const UChar32 codePoint = nextCodePoint(line, offset);
    if (codePoint < 0) {
      for (int32_t index = start; index < offset; ++index) {
        appendByteEscape(out, static_cast<unsigned char>(line[static_cast<std::size_t>(index)]));
      }
      continue;
    }
    const auto character = static_cast<char32_t>(codePoint);
    if (!breaksTheLine(character)) {
      out.append(
          line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(offset - start)));
    } else if (character == '\n') {
      out += "\\n";
    } else if (character == '\r') {
      out += "\\r";
    } else if (character == '\t') {
      out += "\\t";
    } else if (character <= deleteCharacter) {
      appendByteEscape(out, static_cast<unsigned char>(character));
    } else {
      appendCodePointEscape(out, character);
    }
  }
  return out;
}

} // namespace quillon
