#include "webapp/WebAppIdentifier.h"

#include "platform/shared/PlistDefaults.h"
#include "platform/shared/PropertyListCodec.h"
#include "text/Unicode.h"
#include "webapp/WebAppAddress.h"
#include "webapp/WebAppDelegate.h"

#include <cstdint>
#include <fstream>
#include <iterator>

namespace quillon {

namespace {

constexpr std::string_view identifierPrefix = "com.quillon.webapp.";
// Room kept for the "-N" that tells colliding names apart.
constexpr std::size_t suffixRoom = 4;
constexpr std::size_t hashDigits = 8;
// Info.plist files are small; anything larger is not one of ours.
constexpr std::uintmax_t maxInfoBytes = 1 << 20;

std::uint32_t fnv1a(std::string_view text) {
  std::uint32_t hash = 2166136261U;
  for (const char character : text) {
    hash ^= static_cast<unsigned char>(character);
    hash *= 16777619U;
  }
  return hash;
}

std::string hexHash(std::string_view text) {
  constexpr std::string_view digits = "0123456789abcdef";
  std::uint32_t hash = fnv1a(text);
  std::string hex(hashDigits, '0');
  for (std::size_t index = hashDigits; index-- > 0;) {
    hex[index] = digits[hash & 0x0FU];
    hash >>= 4U;
  }
  return hex;
}

// The longest start of text, in whole characters, whose lower-case form
// fits maxBytes.
std::string lowercaseFitting(std::string_view text, std::size_t maxBytes) {
  std::string kept;
  std::size_t lowercaseBytes = 0;
  bool full = false;
  forEachCharacter(text, [&](std::string_view character) {
    const std::size_t bytes = lowercased(character).size();
    if (full || lowercaseBytes + bytes > maxBytes) {
      full = true;
      return;
    }
    lowercaseBytes += bytes;
    kept += character;
  });
  return kept;
}

std::optional<PropertyDictionary> readInfo(const std::filesystem::path& bundle) {
  const std::filesystem::path file = bundle / "Contents" / "Info.plist";
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > maxInfoBytes) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto parsed = parsePropertyList(bytes);
  if (!parsed || parsed->get<PropertyDictionary>() == nullptr) {
    return std::nullopt;
  }
  return *parsed->get<PropertyDictionary>();
}

} // namespace

std::string webAppExecutableName(std::string_view name) {
  std::string executable = sanitize(name);
  // Lower case may change a character's length, so the budget is checked on
  // the form the identifier uses.
  const std::size_t budget = kMaxDefaultsDomainNameBytes - identifierPrefix.size() - suffixRoom;
  if (lowercased(executable).size() <= budget) {
    return executable;
  }
  const std::string tail = std::string("_").append(hexHash(name));
  return lowercaseFitting(executable, budget - tail.size()) + tail;
}

std::string uniqueWebAppIdentifier(std::string_view executableName,
                                   const std::set<std::string, std::less<>>& taken) {
  const std::string base = std::string(identifierPrefix) + lowercased(executableName);
  std::string identifier = base;
  for (int number = 2; taken.contains(identifier); ++number) {
    identifier = base + "-" + std::to_string(number);
  }
  return identifier;
}

std::optional<std::string> installedWebAppIdentifier(const std::filesystem::path& bundle) {
  const auto info = readInfo(bundle);
  if (!info || !info->contains(std::string(WebAppDelegate::StartUrlKey))) {
    return std::nullopt;
  }
  const auto found = info->find("CFBundleIdentifier");
  return found == info->end() ? std::nullopt : found->second.asString();
}

std::set<std::string, std::less<>>
installedWebAppIdentifiers(const std::vector<std::filesystem::path>& folders,
                           std::string_view keptName) {
  const std::string keptFolder = std::string(keptName) + ".app";
  std::set<std::string, std::less<>> identifiers;
  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().extension() != ".app" || entry.path().filename() == keptFolder) {
        continue;
      }
      if (auto identifier = installedWebAppIdentifier(entry.path())) {
        identifiers.insert(std::move(*identifier));
      }
    }
  }
  return identifiers;
}

} // namespace quillon
