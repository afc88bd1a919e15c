#pragma once

#include "platform/WebAppPackaging.h"
#include "platform/Workspace.h"
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

// Packaging as the Mac does it: iconutil turns the ten drawn sizes into
// AppIcon.icns, codesign seals the bundle ad hoc and xattr clears the
// quarantine flag, each with the exact command line the tools expect. A
// bundle in an Applications folder needs no launcher.
class SimWebAppPackaging final : public WebAppPackaging {
public:
  static constexpr std::string_view IconFileName = "AppIcon.icns";

  SimWebAppPackaging(Processes& processes, Workspace& workspace)
      : processes_(processes), workspace_(workspace) {}

  std::vector<AppIconImage> iconImages() const override;
  bool makeAppIcon(const std::filesystem::path& images,
                   const std::filesystem::path& resources) override;
  std::optional<SealFailure> seal(const std::filesystem::path& bundle) override;
  void clearQuarantine(const std::filesystem::path& bundle) override;
  bool offersSharedInstall() const override { return true; }
  std::optional<std::string> publish(const InstalledWebApp&) override { return std::nullopt; }
  void withdraw(const std::string&) override {}
  // Opening a bundle is launching it.
  bool launch(const std::filesystem::path& bundle) override {
    return workspace_.openUrl("file://" + bundle.string());
  }

private:
  struct Outcome {
    bool started = false;
    int status = -1;
    std::string standardError;
  };
  Outcome run(std::string_view tool, std::vector<std::string> arguments);

  Processes& processes_;
  Workspace& workspace_;
};

} // namespace quillon
