#pragma once

#include "platform/sim/SimProcesses.h"

#include <filesystem>
#include <string>

namespace quillon {

// The tools a web-app build runs, as fake processes that do their job on
// the simulated disk: iconutil writes the icon file with the project's own
// ICNS writer, codesign leaves a signature that records the Info.plist it
// covered, and xattr has no quarantine flag to remove.
class SimWebAppTools {
public:
  static constexpr std::string_view Iconutil = "/usr/bin/iconutil";
  static constexpr std::string_view Codesign = "/usr/bin/codesign";
  static constexpr std::string_view Xattr = "/usr/bin/xattr";

  explicit SimWebAppTools(SimProcesses& processes);

  // What the signature of a bundle records of its Info.plist: a digest of
  // the file's bytes, or nothing when the bundle has none.
  static std::optional<std::string> infoPlistDigest(const std::filesystem::path& bundle);
  // The digest the bundle's signature holds, or nothing when unsigned.
  static std::optional<std::string> signedDigest(const std::filesystem::path& bundle);

private:
  static SimProcesses::ToolResult iconutil(const std::vector<std::string>& arguments);
  static SimProcesses::ToolResult codesign(const std::vector<std::string>& arguments);
};

} // namespace quillon
