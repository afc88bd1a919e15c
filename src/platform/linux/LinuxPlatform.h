#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace quillon {

// The composition root of the live X11 desktop: opens the display and builds
// every service on it. Services this desktop has no live version of yet
// answer as a refusing system would.
class LinuxPlatform {
public:
  struct Options {
    std::filesystem::path executable;
    // Empty for $DISPLAY.
    std::string displayName;
    // Where settings are stored: $XDG_CONFIG_HOME/quillon.
    std::filesystem::path configurationFolder;
    // What must outlive a killed process: $XDG_STATE_HOME/quillon. None
    // keeps nothing.
    std::optional<std::filesystem::path> stateFolder;
    bool desktopRelocksGroup = false;
    bool stallOnUserSignal = false;
    // Set when the process runs as the web app of that identifier: its
    // windows carry it as their class, and the web engine is loaded.
    std::optional<std::string> webAppIdentifier;
  };

  // Settings under $XDG_CONFIG_HOME/quillon; the desktop named by
  // $XDG_CURRENT_DESKTOP; the test hooks named by $QUILLON_TEST_HOOKS.
  static Options optionsFromEnvironment(std::filesystem::path executable);

  // Null, with the reason in `error`, when the display cannot be opened.
  static std::unique_ptr<LinuxPlatform> open(const Options& options, std::ostream& logStream,
                                             std::string& error);
  ~LinuxPlatform();

  Platform& platform();

private:
  struct Services;
  explicit LinuxPlatform(std::unique_ptr<Services> services);
  std::unique_ptr<Services> services_;
};

} // namespace quillon
