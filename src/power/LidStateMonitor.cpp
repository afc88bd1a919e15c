#include "power/LidStateMonitor.h"

#include <string>

namespace quillon {

namespace {

std::string describe(std::optional<bool> state) {
  if (!state) {
    return "nil";
  }
  return *state ? "Optional(true)" : "Optional(false)";
}

} // namespace

void LidStateMonitor::start() {
  if (started_) {
    return;
  }
  // The registration is owned here and ends with the monitor, so a message
  // can never reach a monitor that is gone.
  Power::InterestResult result = power_.observeRootDomainInterest([this] { check(); });
  if (!result.registration) {
    switch (result.failure) {
    case Power::InterestFailure::RootDomainNotFound:
      log_.write("Quillon LidStateMonitor: IOPMrootDomain not found");
      return;
    case Power::InterestFailure::NotificationPortFailed:
      log_.write("Quillon LidStateMonitor: IONotificationPortCreate failed");
      return;
    case Power::InterestFailure::RegistrationFailed:
      log_.write("Quillon LidStateMonitor: IOServiceAddInterestNotification failed (" +
                 std::to_string(result.code) + ")");
      return;
    }
    return;
  }
  notification_ = std::move(result.registration);
  started_ = true;
  lastClosedState_ = readClamshellClosed();
  log_.write("Quillon LidStateMonitor: started, initial closed=" + describe(lastClosedState_));
}

std::optional<bool> LidStateMonitor::readClamshellClosed() const {
  const std::optional<PropertyValue> state = power_.rootDomainProperty(Power::ClamshellStateKey);
  if (!state) {
    return std::nullopt;
  }
  if (const auto closed = state->asBool()) {
    return closed;
  }
  if (const auto number = state->asInteger()) {
    return *number != 0;
  }
  if (const auto number = state->asReal()) {
    return *number != 0;
  }
  return std::nullopt;
}

void LidStateMonitor::check() {
  const std::optional<bool> closed = readClamshellClosed();
  if (closed) {
    if (lastClosedState_ == closed) {
      return;
    }
    lastClosedState_ = closed;
    log_.write(*closed ? "Quillon lid: closed" : "Quillon lid: open");
  } else {
    if (!lastClosedState_) {
      return;
    }
    lastClosedState_.reset();
    log_.write("Quillon lid: open");
  }
  if (closed == true && onLidClose_) {
    onLidClose_();
  }
}

} // namespace quillon
