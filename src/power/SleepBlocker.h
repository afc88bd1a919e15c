#pragma once

#include "core/Settings.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Power.h"
#include "platform/Processes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Keeps the machine running with its lid closed: the system-wide
// sleep-disabled switch of pmset (changed with the administrator's consent)
// together with an assertion this process holds against system sleep.
class SleepBlocker {
public:
  static constexpr std::string_view Pmset = "/usr/bin/pmset";
  static constexpr std::string_view Osascript = "/usr/bin/osascript";
  static constexpr std::string_view AssertionType = "PreventSystemSleep";
  static constexpr std::string_view AssertionName = "Quillon: keep system awake (lid close)";
  static constexpr std::string_view BatteryPower = "Battery Power";

  struct Dependencies {
    Processes& processes;
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
  // Blocks while pmset runs.
  bool isDisableSleepOnBatteryActive();
  void setAssertion(bool on);
  // Blocks until the password prompt and the tool have finished.
  bool setDisableSleepOnBattery(bool on);
  std::optional<std::string> currentPowerSource() const;
  void sleepDisplayNow();

  bool isAssertionActive() const { return isAssertionActive_; }
  std::uint32_t assertionID() const { return assertionID_; }

  // The AppleScript that switches the setting with the administrator's
  // consent.
  static std::string disableSleepScript(bool on);
  // The sleep-disabled value of `pmset -g` output: the first line that names
  // it with a decimal value.
  static std::optional<long long> parseSleepDisabled(std::string_view pmsetOutput);

private:
  Dependencies services_;
  std::uint32_t assertionID_ = 0;
  bool isAssertionActive_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
