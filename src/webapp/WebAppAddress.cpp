#include "webapp/WebAppAddress.h"

#include "text/Unicode.h"
#include "webapp/UrlSyntax.h"

#include <unicode/uchar.h>
#include <unicode/uidna.h>

#include <algorithm>
#include <cctype>
#include <memory>

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

bool hasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char character) { return static_cast<unsigned char>(character) >= 0x80; });
}

// Only a scheme before the first "://" makes the text absolute: a "://"
// inside a query ("?next=https://...") names no scheme of this address.
bool startsWithScheme(std::string_view text) {
  const auto separator = text.find(schemeSeparator);
  return separator != std::string_view::npos && isSchemeText(text.substr(0, separator));
}

struct IdnaDeleter {
  void operator()(UIDNA* idna) const { uidna_close(idna); }
};

// UTS 46 processing of one host name; nothing when it has no valid form.
std::optional<std::string> convertHost(std::string_view host, bool toAscii) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UIDNA, IdnaDeleter> idna(
      uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE |
                          UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ,
                      &status));
  if (U_FAILURE(status)) {
    return std::nullopt;
  }
  const auto length = static_cast<int32_t>(host.size());
  // Room for every label's "xn--" and the worst punycode growth.
  std::string converted(host.size() * 4 + 64, '\0');
  UIDNAInfo info = UIDNA_INFO_INITIALIZER;
  const int32_t written =
      toAscii ? uidna_nameToASCII_UTF8(idna.get(), host.data(), length, converted.data(),
                                       static_cast<int32_t>(converted.size()), &info, &status)
              : uidna_nameToUnicodeUTF8(idna.get(), host.data(), length, converted.data(),
                                        static_cast<int32_t>(converted.size()), &info, &status);
  if (U_FAILURE(status) || info.errors != 0 || written <= 0 ||
      static_cast<std::size_t>(written) > converted.size()) {
    return std::nullopt;
  }
  converted.resize(static_cast<std::size_t>(written));
  return converted;
}

// Every byte outside ASCII as %XX, the way a browser sends a typed path.
std::string percentEncodedNonAscii(std::string_view text) {
  constexpr std::string_view hexDigits = "0123456789ABCDEF";
  std::string encoded;
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte < 0x80) {
      encoded.push_back(character);
      continue;
    }
    encoded.push_back('%');
    encoded.push_back(hexDigits[byte >> 4U]);
    encoded.push_back(hexDigits[byte & 0x0FU]);
  }
  return encoded;
}

// An absolute address with an international host in its ASCII form and the
// rest percent-encoded; nothing when the host has no valid ASCII form.
std::optional<std::string> asciiAddress(std::string_view address) {
  if (!hasNonAscii(address)) {
    return std::string(address);
  }
  const auto authorityStart = address.find(schemeSeparator) + schemeSeparator.size();
  const auto authorityEnd = std::min(address.find_first_of("/?#", authorityStart), address.size());
  const std::string_view authority = address.substr(authorityStart, authorityEnd - authorityStart);
  const auto at = authority.rfind('@');
  const std::size_t hostStart = at == std::string_view::npos ? 0 : at + 1;
  const std::size_t hostEnd = std::min(authority.find(':', hostStart), authority.size());
  const std::string_view host = authority.substr(hostStart, hostEnd - hostStart);
  std::string asciiHost(host);
  if (hasNonAscii(host)) {
    auto converted = convertHost(host, true);
    if (!converted) {
      return std::nullopt;
    }
    asciiHost = std::move(*converted);
  }
  return percentEncodedNonAscii(address.substr(0, authorityStart + hostStart)) + asciiHost +
         percentEncodedNonAscii(address.substr(authorityStart + hostEnd));
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
  std::string typedAddress(trimmed);
  if (!startsWithScheme(typedAddress)) {
    typedAddress.insert(0, defaultScheme);
  }
  auto address = asciiAddress(typedAddress);
  if (!address || !parseUrlParts(*address)) {
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
  // An international host reads as the user wrote it, not as "xn--".
  std::string name = *parts->host;
  if (name.find("xn--") != std::string::npos) {
    name = convertHost(name, false).value_or(name);
  }
  replaceAll(name, "www.", "");
  // "www." alone leaves nothing, and an empty name would hide the bundle.
  return name.empty() ? std::string(fallbackName) : name;
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
