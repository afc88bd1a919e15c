#include "platform/linux/LogindLidSleepPrevention.h"

#include <string>

namespace quillon {

namespace {

// Long enough for polkit to ask an agent when a policy wants a password,
// which the active session's does not.
constexpr int InhibitTimeoutMilliseconds = 25000;

} // namespace

bool LogindLidSleepPrevention::preventLidSleep(bool on) {
  const std::scoped_lock guard(mutex_);
  if (!on) {
    lock_.reset();
    return true;
  }
  if (lock_) {
    return true;
  }
  std::string error;
  lock_ = LogindInhibitor::take({Blocked, Why, InhibitTimeoutMilliseconds}, error);
  if (!lock_) {
    log_.write("Quillon SleepBlocker: logind did not grant the lid-switch lock: " + error);
    return false;
  }
  return true;
}

bool LogindLidSleepPrevention::isPreventingLidSleep() {
  const std::scoped_lock guard(mutex_);
  return lock_.has_value();
}

} // namespace quillon
