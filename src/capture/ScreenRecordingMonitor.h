#pragma once

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"
#include "platform/Processes.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <memory>

namespace quillon {

// Restarts the application once the user grants screen recording: a running
// process keeps the answer it had, so a fresh copy of this executable is
// asked, every few seconds and whenever another application comes to the
// front (as when the user returns from the system's settings).
class ScreenRecordingMonitor {
public:
  static constexpr Duration PollInterval{3.0};
  static constexpr Duration QuitDelay{0.15};
  static constexpr std::string_view RelaunchSound = "Submarine";

  struct Dependencies {
    Permissions& permissions;
    Processes& processes;
    Bundle& bundle;
    Workspace& workspace;
    MainQueue& mainQueue;
    Log& log;
    Sound& sound;
    Application& application;
  };

  explicit ScreenRecordingMonitor(Dependencies dependencies) : services_(dependencies) {}
  ScreenRecordingMonitor(const ScreenRecordingMonitor&) = delete;
  ScreenRecordingMonitor& operator=(const ScreenRecordingMonitor&) = delete;

  void start();
  bool isWatching() const { return timer_.isScheduled() || activationObserver_.isActive(); }
  bool hasStopped() const { return stopped_; }

private:
  void tick();
  bool childProcessHasAccess();
  void relaunchSelf();

  Dependencies services_;
  ScheduledTask timer_;
  Observation activationObserver_;
  bool stopped_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
