#pragma once

#include "platform/Lifetime.h"
#include "platform/Platform.h"
#include "platform/WebAppPackaging.h"
#include "webapp/WebAppIcon.h"
#include "webapp/WebAppInstaller.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillon {

// Turns a web address into an application bundle that runs this same
// executable as a browser window on that address: prompt, build on the
// background queue, sign, install, reveal and open.
class WebAppCreator {
public:
  struct PromptResult {
    std::string url;
    std::string name;
  };

  explicit WebAppCreator(Platform& platform);

  // The whole flow from the menu item; reports every outcome itself.
  void promptAndCreate();
  std::optional<PromptResult> promptForURLAndName();
  // Blocking: builds, signs and installs; answers where the bundle now
  // lives. Throws WebAppError or a file-system error.
  std::filesystem::path createBundle(const std::string& url, const std::string& name);
  // The error alert, shown from the main queue; callable from any thread.
  void showError(const std::string& message);

  bool isCreating() const { return isCreating_; }
  WebAppIcon& icon() { return icon_; }
  WebAppInstaller& installer() { return installer_; }

private:
  void finish(const std::optional<std::filesystem::path>& installed, const std::string& error);
  void copyLocalizations(const std::filesystem::path& resources);
  void publish(const InstalledWebApp& app);
  std::string bundleIdentifierFor(const std::string& name, const std::string& executableName) const;

  Platform& platform_;
  WebAppIcon icon_;
  WebAppInstaller installer_;
  bool isCreating_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
