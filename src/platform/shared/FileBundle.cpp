#include "platform/shared/FileBundle.h"

#include "platform/shared/PropertyListCodec.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace quillon {

namespace {
// An information dictionary is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t maximumInfoDictionaryBytes = 4 * 1024 * 1024;
} // namespace

std::optional<std::filesystem::path>
FileBundle::appBundleContaining(const std::filesystem::path& executable) {
  const std::filesystem::path macOS = executable.parent_path();
  const std::filesystem::path contents = macOS.parent_path();
  const std::filesystem::path bundle = contents.parent_path();
  if (macOS.filename() != "MacOS" || contents.filename() != "Contents" ||
      bundle.extension() != ".app") {
    return std::nullopt;
  }
  return bundle;
}

FileBundle::FileBundle(std::filesystem::path executablePath, Log& log)
    : executablePath_(std::move(executablePath)) {
  if (const auto bundle = appBundleContaining(executablePath_)) {
    bundlePath_ = *bundle;
    isAppBundle_ = true;
    info_ = readInfoDictionary(log);
  } else {
    bundlePath_ = executablePath_.parent_path();
  }
}

std::optional<std::filesystem::path> FileBundle::resourcePath() const {
  if (!isAppBundle_) {
    return bundlePath_;
  }
  return bundlePath_ / "Contents" / "Resources";
}

std::optional<std::string> FileBundle::bundleIdentifier() const {
  if (!info_) {
    return std::nullopt;
  }
  const auto found = info_->find("CFBundleIdentifier");
  if (found == info_->end()) {
    return std::nullopt;
  }
  return found->second.asString();
}

std::vector<std::string> FileBundle::localizations() const {
  std::vector<std::string> names;
  const auto resources = resourcePath();
  std::error_code error;
  if (!resources || !std::filesystem::is_directory(*resources, error)) {
    return names;
  }
  for (const auto& entry : std::filesystem::directory_iterator(*resources, error)) {
    if (entry.path().extension() == ".lproj") {
      names.push_back(entry.path().stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<PropertyDictionary> FileBundle::readInfoDictionary(Log& log) const {
  const std::filesystem::path path = bundlePath_ / "Contents" / "Info.plist";
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return std::nullopt;
  }
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > maximumInfoDictionaryBytes) {
    log.write("Quillon: cannot read Info.plist at " + path.string() +
              (error ? ": " + error.message() : ": file too large"));
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) {
    log.write("Quillon: cannot read Info.plist at " + path.string());
    return std::nullopt;
  }
  const auto parsed = parsePropertyList(bytes);
  const PropertyDictionary* dictionary = parsed ? parsed->get<PropertyDictionary>() : nullptr;
  if (dictionary == nullptr) {
    log.write("Quillon: Info.plist at " + path.string() + " is not a property-list dictionary");
    return std::nullopt;
  }
  return *dictionary;
}

} // namespace quillon
