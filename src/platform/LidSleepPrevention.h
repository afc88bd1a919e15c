// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

// What keep-awake asks of the machine: stay running with the lid closed,
// and put the display out when asked. Each desktop has its own mechanism: a
// system-wide setting changed with the administrator's consent, or a lock
// the process holds while it runs. Failures are logged by the service, which
// alone knows what its mechanism said.
class LidSleepPrevention {
public:
  virtual ~LidSleepPrevention() = default;

  // Blocks while consent is asked and the change is made; false when it was
  // refused or failed.
  virtual bool preventLidSleep(bool on) = 0;
  // Whether the machine now stays awake with its lid closed. Blocks while
  // the system is asked.
  virtual bool isPreventingLidSleep() = 0;
  // True when the prevention lasts only while this process holds it, so a
  // new launch must take it again; false for a system setting that outlives
  // the process and says what the user last chose.
  virtual bool endsWithProcess() const = 0;
  // True when the system still sleeps on lid close while on battery power,
  // whatever this switch says.
  virtual bool sleepsOnBatteryRegardless() const = 0;
  // Starts turning the display off and does not wait.
  virtual void turnDisplayOffNow() = 0;
};

} // namespace quillon
