#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The parts of an address the web-app builder looks at.
struct UrlParts {
  std::optional<std::string> scheme;
  std::optional<std::string> host;
};

// Nothing when the text is not a URL at all; a URL without an authority
// ("mailto:x") has no host.
std::optional<UrlParts> parseUrlParts(std::string_view url);

// Spaces and tabs at both ends go; line breaks stay (and then fail to parse).
std::string_view trimSpacesAndTabs(std::string_view text);

// The address as typed into the prompt, made absolute ("https://" in front
// when it names no scheme); nothing for an empty, bare "https://" or
// unparseable address.
std::optional<std::string> normalizeAddress(std::string_view typed);

// The name typed, trimmed; when empty, the address's host with every "www."
// removed, or "Web App" for an address without one.
std::string webAppName(std::string_view typedName, std::string_view normalizedAddress);

// Every code point that is not a letter, digit or mark becomes "_", so the
// result is safe as an executable's file name; "WebApp" when no letter,
// digit or mark is left.
std::string sanitize(std::string_view name);

// Why a name cannot be a bundle's folder name ("/", ".", "..", control
// characters), or nothing when it can.
std::optional<std::string> unsafeBundleNameReason(std::string_view name);

} // namespace quillon
