#include "input/SystemWheelReversal.h"

namespace quillon {

void SystemWheelReversal::start() {
  follow();
  changes_ = settings_.notifications().observe(Settings::ChangedNotification, [this] { follow(); });
}

void SystemWheelReversal::follow() {
  const bool wanted = settings_.invertMouseWheelEnabled();
  if (applied_ == wanted) {
    return;
  }
  wheels_.reverseDiscreteWheels(wanted);
  applied_ = wanted;
}

} // namespace quillon
