#pragma once

#include "core/Settings.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Observation.h"
#include "platform/Processes.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "windows/WindowSnapper.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace quillon {

// Remembers each application's window frame and puts it back when the
// application launches, the machine wakes or the displays change; snaps a
// window the user dragged close to a zone onto that zone exactly. It polls
// the frontmost application's focused window rather than observing every
// application, and reads both switches at each decision, so toggling either
// takes effect at the next poll.
class WindowPositionManager {
public:
  struct Dependencies {
    Accessibility& accessibility;
    Workspace& workspace;
    Screens& screens;
    MainQueue& mainQueue;
    const Clock& clock;
    Defaults& defaults;
    Processes& processes;
    Log& log;
    const Settings& settings;
    WindowSnapper& snapper;
    // Where the remembered frames are stored.
    std::string ownDomain;
    // This program's own identifier: its own windows are never handled.
    std::optional<std::string> ownBundleIdentifier;
  };

  static constexpr Duration PollInterval{0.25};
  // Quiet time after each move the manager makes itself, so the move is not
  // mistaken for the user's.
  static constexpr Duration SuppressWindow{0.6};
  static constexpr std::string_view PositionsDefaultsKey = "quillon.windowPositions";
  static constexpr double SnapTolerance = 40.0;
  // Launched applications take a while to show a window.
  static constexpr Duration FirstRestoreDelay{0.6};
  static constexpr Duration RestoreRetryInterval{0.4};
  static constexpr int RestoreAttempts = 8;
  static constexpr Duration LaunchRestoreTimeout{0.8};
  static constexpr Duration ReapplyTimeout{0.6};
  static constexpr Duration WakeReapplyDelay{1.2};
  static constexpr Duration ScreenChangeReapplyDelay{0.8};
  // Stored frames beyond this, in any of their four numbers, were never a
  // window's: no desktop reaches that far.
  static constexpr double LargestSensibleCoordinate = 100'000;
  static constexpr std::string_view WindowManagerDomain = "com.apple.WindowManager";
  static constexpr std::string_view TiledMarginsKey = "EnableTiledWindowMargins";

  explicit WindowPositionManager(Dependencies dependencies);
  WindowPositionManager(const WindowPositionManager&) = delete;
  WindowPositionManager& operator=(const WindowPositionManager&) = delete;

  void start();
  void stop();
  bool isRunning() const { return isRunning_; }

  // Switches the system's margins between tiled windows off while windows
  // snap to exact edges, and restarts the system window manager only when
  // the value changes.
  void applyTileMarginPreference(bool disabled);

  // One poll; the timer calls it every PollInterval.
  void tick();

  // The zone a frame is close to, unless it is already exactly on it.
  static std::optional<Rect> nearestSnapZone(const Rect& frame, const ScreenInfo& screen);
  std::optional<Rect> savedFrame(std::string_view bundleIdentifier) const;

private:
  void scheduleRestore(const RunningApplication& application);
  void scheduleRestoreAttempt(const RunningApplication& application, const Rect& target,
                              int attempt);
  void attemptRestore(const RunningApplication& application, const Rect& target, int attempt);
  void restoreAllRunning();
  void applyFrame(const RunningApplication& application, const Rect& target);
  void savePosition(const RunningApplication& application, const Rect& frame);
  std::optional<PropertyDictionary> storedPositions() const;
  std::optional<AXElement> preparedWindow(const RunningApplication& application, Duration timeout);
  void suppressPolls();
  void awaitReapply(Duration delay);
  bool isOwnApplication(const RunningApplication& application) const;

  Dependencies services_;
  DefaultsDomain ownDefaults_;
  ScheduledTask pollTimer_;
  Observation launchObserver_;
  Observation wakeObserver_;
  Observation screenParamsObserver_;
  std::optional<Rect> lastSeenFrame_;
  std::optional<Rect> lastActedFrame_;
  std::optional<int> lastWatchedPID_;
  std::set<std::string, std::less<>> alreadyRestored_;
  TimePoint suppressUntil_ = TimePoint::min();
  // Until the re-apply after a wake or a display change: the system moves
  // windows off a display that went away, and those frames are not the
  // user's to remember.
  TimePoint reapplyPendingUntil_ = TimePoint::min();
  bool isRunning_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
