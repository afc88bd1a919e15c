#pragma once

#include "platform/Clock.h"
#include "platform/MainQueue.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon {

// Watches the main loop from a thread of its own: the main queue beats a
// heart, and when no beat has come for the limit while armed, onStall runs
// once on the watchdog's thread. A stalled tap holds every keyboard, so this
// is what gives the user the keyboard back.
class TapWatchdog {
public:
  static constexpr Duration beatInterval{0.25};

  TapWatchdog(MainQueue& mainQueue, Duration limit, std::function<void()> onStall);
  TapWatchdog(const TapWatchdog&) = delete;
  TapWatchdog& operator=(const TapWatchdog&) = delete;
  ~TapWatchdog();

  // Watching starts (again) from now.
  void arm();
  void disarm();

private:
  void watch();
  void beat();

  Duration limit_;
  std::function<void()> onStall_;
  ScheduledTask heartbeat_;
  std::atomic<std::int64_t> lastBeat_{0};
  std::atomic<bool> armed_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

} // namespace quillon
