#pragma once

#include "core/NotificationCenter.h"
#include "core/Settings.h"
#include "platform/WheelDirection.h"

#include <optional>

namespace quillon {

// Keeps the system's wheel direction on the invert-wheel setting. Where the
// event tap rewrites scroll events itself (WheelInversion), the system's
// service does nothing; where the tap cannot see scroll deltas, this is what
// reverses the wheels.
class SystemWheelReversal {
public:
  SystemWheelReversal(Settings& settings, WheelDirection& wheels)
      : settings_(settings), wheels_(wheels) {}
  SystemWheelReversal(const SystemWheelReversal&) = delete;
  SystemWheelReversal& operator=(const SystemWheelReversal&) = delete;

  // Applies the setting now and after every change of it.
  void start();

private:
  void follow();

  Settings& settings_;
  WheelDirection& wheels_;
  // Every setting announces its changes alike: the system is asked only
  // when this one has moved.
  std::optional<bool> applied_;
  NotificationCenter::Observation changes_;
};

} // namespace quillon
