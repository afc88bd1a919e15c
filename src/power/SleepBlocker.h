#pragma once

#include "core/Settings.h"
#include "platform/LidSleepPrevention.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Power.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Keeps the machine running with its lid closed: the desktop's lid-sleep
// prevention (which may need the administrator's consent) together with an
// assertion this process holds against system sleep.
class SleepBlocker {
public:
  static constexpr std::string_view AssertionType = "PreventSystemSleep";
  static constexpr std::string_view AssertionName = "Quillon: keep system awake (lid close)";
  static constexpr std::string_view BatteryPower = "Battery Power";

  struct Dependencies {
    LidSleepPrevention& lidSleepPrevention;
    Power& power;
    MainQueue& mainQueue;
    BackgroundQueue& backgroundQueue;
    Log& log;
    Settings& settings;
  };

  explicit SleepBlocker(Dependencies dependencies) : services_(dependencies) {}
  SleepBlocker(const SleepBlocker&) = delete;
  SleepBlocker& operator=(const SleepBlocker&) = delete;

  // Returns at once; the prompt and the tool run in the background, and the
  // setting, the assertion and the completion follow on the main queue.
  void requestToggle(bool on, std::function<void(bool succeeded)> completion);
  // Blocks while the system is asked.
  bool isDisableSleepOnBatteryActive();
  void setAssertion(bool on);
  // Blocks until consent has been asked and the change made.
  bool setDisableSleepOnBattery(bool on);
  std::optional<std::string> currentPowerSource() const;
  void sleepDisplayNow();
  // Whether keep-awake lasts only while this process runs, so that each
  // launch must take it again.
  bool endsWithProcess() const { return services_.lidSleepPrevention.endsWithProcess(); }
  // Whether the system sleeps on lid close on battery power regardless.
  bool sleepsOnBatteryRegardless() const {
    return services_.lidSleepPrevention.sleepsOnBatteryRegardless();
  }

  bool isAssertionActive() const { return isAssertionActive_; }
  std::uint32_t assertionID() const { return assertionID_; }

private:
  Dependencies services_;
  std::uint32_t assertionID_ = 0;
  bool isAssertionActive_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
