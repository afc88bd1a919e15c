#include "finder/FileUrl.h"

#include <cctype>

namespace quillon {

namespace {

constexpr std::string_view scheme = "file://";
constexpr std::string_view localHost = "localhost";

std::optional<int> hexValue(char digit) {
  if (digit >= '0' && digit <= '9') {
    return digit - '0';
  }
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(digit)));
  if (lower >= 'a' && lower <= 'f') {
    return lower - 'a' + 10;
  }
  return std::nullopt;
}

bool staysLiteral(unsigned char byte) {
  return std::isalnum(byte) != 0 || byte == '/' || byte == '-' || byte == '_' || byte == '.' ||
         byte == '~';
}

} // namespace

std::optional<std::filesystem::path> FileUrl::path(std::string_view url) {
  if (url.size() < scheme.size() ||
      !std::equal(scheme.begin(), scheme.end(), url.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      })) {
    return std::nullopt;
  }
  std::string_view rest = url.substr(scheme.size());
  if (rest.starts_with(localHost)) {
    rest.remove_prefix(localHost.size());
  }
  if (!rest.starts_with('/')) {
    return std::nullopt;
  }
  std::string decoded;
  decoded.reserve(rest.size());
  for (std::size_t at = 0; at < rest.size(); ++at) {
    if (rest[at] == '?' || rest[at] == '#') {
      break;
    }
    if (rest[at] != '%') {
      decoded.push_back(rest[at]);
      continue;
    }
    const auto high = at + 2 < rest.size() ? hexValue(rest[at + 1]) : std::nullopt;
    const auto low = at + 2 < rest.size() ? hexValue(rest[at + 2]) : std::nullopt;
    if (!high || !low || (*high == 0 && *low == 0)) {
      return std::nullopt;
    }
    decoded.push_back(static_cast<char>(*high * 16 + *low));
    at += 2;
  }
  // A folder's address ends in a slash; the folder is the path without it.
  while (decoded.size() > 1 && decoded.back() == '/') {
    decoded.pop_back();
  }
  return std::filesystem::path(decoded);
}

std::string FileUrl::make(const std::filesystem::path& path) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string url(scheme);
  for (const char character : path.string()) {
    const auto byte = static_cast<unsigned char>(character);
    if (staysLiteral(byte)) {
      url.push_back(character);
      continue;
    }
    url.push_back('%');
    url.push_back(digits[byte >> 4]);
    url.push_back(digits[byte & 0x0F]);
  }
  return url;
}

} // namespace quillon
