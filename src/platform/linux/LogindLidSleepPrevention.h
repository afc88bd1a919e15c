#pragma once

#include "platform/LidSleepPrevention.h"
#include "platform/Log.h"
#include "platform/linux/LogindInhibitor.h"
#include "platform/linux/X11DisplayPower.h"

#include <mutex>
#include <optional>

namespace quillon {

// Keeps the machine awake with its lid closed by holding one logind lock
// against sleep, idling and the lid switch. The active session may take it
// without a password. The lock goes with the process, so nothing stays
// blocked after a crash; a new launch takes it again.
class LogindLidSleepPrevention final : public LidSleepPrevention {
public:
  static constexpr std::string_view Blocked = "sleep:idle:handle-lid-switch";
  static constexpr std::string_view Why = "Keep awake on lid close";

  LogindLidSleepPrevention(X11DisplayPower& displayPower, Log& log)
      : displayPower_(displayPower), log_(log) {}

  // Called from a background queue; the lock is guarded.
  bool preventLidSleep(bool on) override;
  bool isPreventingLidSleep() override;
  bool endsWithProcess() const override { return true; }
  // logind honours the lock on battery power as well.
  bool sleepsOnBatteryRegardless() const override { return false; }
  void turnDisplayOffNow() override { displayPower_.turnOffNow(); }

private:
  X11DisplayPower& displayPower_;
  Log& log_;
  std::mutex mutex_;
  std::optional<InhibitorLock> lock_;
};

} // namespace quillon
