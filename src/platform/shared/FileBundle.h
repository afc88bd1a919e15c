#pragma once

#include "platform/Bundle.h"
#include "platform/Log.h"

#include <filesystem>
#include <optional>

namespace quillon {

// A bundle on disk laid out as on macOS: an executable at
// X.app/Contents/MacOS/NAME belongs to X.app, whose information dictionary
// is X.app/Contents/Info.plist. Any other executable is its own folder's
// bundle and has no information dictionary.
class FileBundle final : public Bundle {
public:
  FileBundle(std::filesystem::path executablePath, Log& log);

  std::filesystem::path bundlePath() const override { return bundlePath_; }
  std::filesystem::path executablePath() const override { return executablePath_; }
  std::optional<std::filesystem::path> resourcePath() const override;
  std::optional<PropertyDictionary> infoDictionary() const override { return info_; }
  std::optional<std::string> bundleIdentifier() const override;
  // The .lproj folders of the resources, by name.
  std::vector<std::string> localizations() const override;

  // X.app for X.app/Contents/MacOS/NAME, nothing otherwise.
  static std::optional<std::filesystem::path>
  appBundleContaining(const std::filesystem::path& executable);

private:
  std::optional<PropertyDictionary> readInfoDictionary(Log& log) const;

  std::filesystem::path executablePath_;
  std::filesystem::path bundlePath_;
  bool isAppBundle_ = false;
  std::optional<PropertyDictionary> info_;
};

} // namespace quillon
