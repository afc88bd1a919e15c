#include "webapp/UrlSyntax.h"

#include <cctype>

namespace quillon {

namespace {

bool isUrlCharacter(unsigned char character) {
  if (std::isalnum(character) != 0) {
    return true;
  }
  constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
  return allowed.find(static_cast<char>(character)) != std::string_view::npos;
}

bool isHexDigit(char character) {
  return std::isxdigit(static_cast<unsigned char>(character)) != 0;
}

} // namespace

bool isParseableUrl(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character == '%') {
      if (index + 2 >= text.size() || !isHexDigit(text[index + 1]) ||
          !isHexDigit(text[index + 2])) {
        return false;
      }
      index += 2;
      continue;
    }
    if (!isUrlCharacter(static_cast<unsigned char>(character))) {
      return false;
    }
  }
  return true;
}

} // namespace quillon
