#pragma once

#include "platform/sim/SimDesktop.h"

#include <string>
#include <vector>

namespace quillon {

// The log lines of a launch on a fresh simulated desktop, in the order of the
// launch steps, once the main queue has run what the launch queued: one place
// to change when a step is added.
inline std::vector<std::string> expectedLaunchLog(SimDesktop& desktop, bool trusted) {
  // The capture folder lives in the simulated home, a fresh private folder.
  const std::string screenFolder =
      (*desktop.directories().documents() / "Parlando Files" / "screen").string();
  return {std::string("Quillon: launched, pid=4242, accessibility=") + (trusted ? "true" : "false"),
          "Quillon SleepBlocker: parsed pmset sleep-disabled = 0",
          "Quillon LidStateMonitor: started, initial closed=Optional(false)",
          "Quillon FinderWindowWatcher: Finder not running yet",
          "Quillon TCC: screen recording already granted, monitor idle",
          "Quillon dictation: installed default shortcut ⌃⌥⌘D into entry #164",
          "Quillon captureLoc: changing location from '<default ~/Desktop>' to '" + screenFolder +
              "'",
          trusted ? "Quillon: event tap started"
                  : "Quillon: event tap FAILED to start (likely no accessibility)",
          "Quillon DesktopFolderIcons: start",
          "Quillon WindowPositionManager: started",
          "Quillon: EnableTiledWindowMargins nil → false"};
}

} // namespace quillon
