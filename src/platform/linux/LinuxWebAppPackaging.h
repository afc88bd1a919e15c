#pragma once

#include "platform/Log.h"
#include "platform/WebAppPackaging.h"
#include "platform/linux/WebAppFolders.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The text of a launcher that runs an installed web app.
std::string desktopEntryText(const InstalledWebApp& app);
// Whether an identifier can name files in shared folders without leaving
// them.
bool isSafeWebAppIdentifier(std::string_view identifier);

// Web apps as a freedesktop desktop finds them: the icon as PNGs in the
// hicolor theme at the sizes it uses, and a launcher in the applications
// menu, written last so the menu never offers an app that is not all there.
// Nothing here signs or clears flags: the desktop checks neither.
class LinuxWebAppPackaging final : public WebAppPackaging {
public:
  // Inside a bundle's resources, where its icon pictures wait to be
  // published.
  static constexpr std::string_view IconFolderName = "hicolor";
  // Marks the launchers this product wrote, with the bundle each one runs.
  static constexpr std::string_view BundleKey = "X-Quillon-Bundle";

  LinuxWebAppPackaging(std::optional<WebAppFolders> folders, Log& log)
      : folders_(std::move(folders)), log_(log) {}

  std::vector<AppIconImage> iconImages() const override;
  bool makeAppIcon(const std::filesystem::path& images,
                   const std::filesystem::path& resources) override;
  std::optional<SealFailure> seal(const std::filesystem::path&) override { return std::nullopt; }
  void clearQuarantine(const std::filesystem::path&) override {}
  bool offersSharedInstall() const override { return false; }
  std::optional<std::string> publish(const InstalledWebApp& app) override;
  void withdraw(const std::string& identifier) override;
  // Runs the bundle's executable: a folder opened here would only be shown.
  bool launch(const std::filesystem::path& bundle) override;

  // Takes back the launchers of web apps whose bundle was removed.
  void withdrawOrphans();

private:
  std::optional<std::string> publishIcons(const InstalledWebApp& app);

  std::optional<WebAppFolders> folders_;
  Log& log_;
};

} // namespace quillon
