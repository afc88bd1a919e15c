#include "webapp/WebAppAddress.h"

#include "text/Unicode.h"
#include "webapp/UrlSyntax.h"

#include <unicode/uchar.h>

#include <cctype>

namespace quillon {

namespace {

constexpr std::string_view schemeSeparator = "://";
constexpr std::string_view defaultScheme = "https://";
constexpr std::string_view fallbackName = "Web App";
constexpr std::string_view fallbackExecutableName = "WebApp";

bool isSchemeText(std::string_view text) {
  if (text.empty() || std::isalpha(static_cast<unsigned char>(text.front())) == 0) {
    return false;
  }
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (std::isalnum(byte) == 0 && character != '+' && character != '-' && character != '.') {
      return false;
    }
  }
  return true;
}

// The host of an authority: user information and port left out, an IPv6
// literal kept with its brackets.
std::string hostOfAuthority(std::string_view authority) {
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    return std::string(
        authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1));
  }
  return std::string(authority.substr(0, authority.find(':')));
}

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

bool isLetterDigitOrMark(UChar32 codePoint) {
  constexpr std::uint32_t mask = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
  return (U_GET_GC_MASK(codePoint) & mask) != 0;
}

} // namespace

std::optional<UrlParts> parseUrlParts(std::string_view url) {
  if (!isParseableUrl(url)) {
    return std::nullopt;
  }
  UrlParts parts;
  const auto colon = url.find(':');
  if (colon != std::string_view::npos && isSchemeText(url.substr(0, colon))) {
    parts.scheme = std::string(url.substr(0, colon));
    url.remove_prefix(colon + 1);
  }
  if (!url.starts_with("//")) {
    return parts;
  }
  url.remove_prefix(2);
  std::string host = hostOfAuthority(url.substr(0, url.find_first_of("/?#")));
  if (!host.empty()) {
    parts.host = std::move(host);
  }
  return parts;
}

std::string_view trimSpacesAndTabs(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::string> normalizeAddress(std::string_view typed) {
  const std::string_view trimmed = trimSpacesAndTabs(typed);
  if (trimmed.empty() || trimmed == defaultScheme) {
    return std::nullopt;
  }
  std::string address(trimmed);
  if (address.find(schemeSeparator) == std::string::npos) {
    address.insert(0, defaultScheme);
  }
  if (!parseUrlParts(address)) {
    return std::nullopt;
  }
  return address;
}

std::string webAppName(std::string_view typedName, std::string_view normalizedAddress) {
  const std::string_view trimmed = trimSpacesAndTabs(typedName);
  if (!trimmed.empty()) {
    return std::string(trimmed);
  }
  const auto parts = parseUrlParts(normalizedAddress);
  if (!parts || !parts->host) {
    return std::string(fallbackName);
  }
  std::string name = *parts->host;
  replaceAll(name, "www.", "");
  return name;
}

std::string sanitize(std::string_view name) {
  std::string result;
  bool keptAny = false;
  int32_t offset = 0;
  const auto length = static_cast<int32_t>(name.size());
  while (offset < length) {
    const int32_t start = offset;
    const UChar32 codePoint = nextCodePoint(name, offset);
    if (codePoint >= 0 && isLetterDigitOrMark(codePoint)) {
      keptAny = true;
      result.append(
          name.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(offset - start)));
    } else {
      result.push_back('_');
    }
  }
  // A name of punctuation alone would name the executable "___".
  return keptAny ? result : std::string(fallbackExecutableName);
}

std::optional<std::string> unsafeBundleNameReason(std::string_view name) {
  if (name == "." || name == "..") {
    return "The name cannot be \".\" or \"..\".";
  }
  if (name.find('/') != std::string_view::npos) {
    return "The name cannot contain \"/\".";
  }
  for (const char character : name) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte < 0x20 || byte == 0x7F) {
      return "The name cannot contain control characters.";
    }
  }
  return std::nullopt;
}

} // namespace quillon
