#pragma once

#include "platform/LidSleepPrevention.h"
#include "platform/Log.h"
#include "platform/Processes.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Lid-sleep prevention through macOS's own tools: the system-wide
// sleep-disabled switch of pmset, changed through osascript with the
// administrator's password. The switch outlives the process, and on battery
// power the system sleeps on lid close whatever it says.
class PmsetLidSleepPrevention final : public LidSleepPrevention {
public:
  static constexpr std::string_view Pmset = "/usr/bin/pmset";
  static constexpr std::string_view Osascript = "/usr/bin/osascript";

  PmsetLidSleepPrevention(Processes& processes, Log& log) : processes_(processes), log_(log) {}

  bool preventLidSleep(bool on) override;
  bool isPreventingLidSleep() override;
  bool endsWithProcess() const override { return false; }
  bool sleepsOnBatteryRegardless() const override { return true; }
  void turnDisplayOffNow() override;

  // The AppleScript that switches the setting with the administrator's
  // consent.
  static std::string disableSleepScript(bool on);
  // The sleep-disabled value of `pmset -g` output: the first line that names
  // it with a decimal value.
  static std::optional<long long> parseSleepDisabled(std::string_view pmsetOutput);

private:
  Processes& processes_;
  Log& log_;
};

} // namespace quillon
