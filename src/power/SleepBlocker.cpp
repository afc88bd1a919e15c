#include "power/SleepBlocker.h"

#include <memory>

namespace quillon {

void SleepBlocker::requestToggle(bool on, std::function<void(bool succeeded)> completion) {
  // The request must reach its end even if nothing else holds on to it; the
  // main-queue half runs only while this blocker exists.
  auto finish = std::make_shared<std::function<void(bool)>>(
      [this, on, completion = std::move(completion)](bool ok) {
        if (ok) {
          setAssertion(on);
          services_.settings.set(on, Settings::Key::sleepBlockerEnabled);
        }
        if (completion) {
          completion(ok);
        }
      });
  services_.backgroundQueue.async(
      lifetime_.guard([this, on, finish, &mainQueue = services_.mainQueue] {
        const bool ok = setDisableSleepOnBattery(on);
        mainQueue.async(lifetime_.guard([finish, ok] { (*finish)(ok); }));
      }));
}

void SleepBlocker::setAssertion(bool on) {
  if (on && !isAssertionActive_) {
    // A refused assertion is left unset: the pmset switch alone still keeps
    // the machine awake.
    if (const auto identifier = services_.power.createAssertion(AssertionType, AssertionName)) {
      assertionID_ = *identifier;
      isAssertionActive_ = true;
    }
    return;
  }
  if (!on && isAssertionActive_) {
    services_.power.releaseAssertion(assertionID_);
    assertionID_ = 0;
    isAssertionActive_ = false;
  }
}

std::optional<std::string> SleepBlocker::currentPowerSource() const {
  return services_.power.providingPowerSourceType();
}

bool SleepBlocker::setDisableSleepOnBattery(bool on) {
  return services_.lidSleepPrevention.preventLidSleep(on);
}

bool SleepBlocker::isDisableSleepOnBatteryActive() {
  return services_.lidSleepPrevention.isPreventingLidSleep();
}

void SleepBlocker::sleepDisplayNow() {
  services_.lidSleepPrevention.turnDisplayOffNow();
}

} // namespace quillon
