#pragma once

#include "platform/EventFlags.h"

namespace quillon {

// Holding Fn and Control together fires once per press; releasing either
// key, or adding another modifier, re-arms it.
class FnTapDetector {
public:
  // True when this change should fire.
  bool flagsChanged(EventFlags flags) {
    if ((flags & flag::GestureModifiers) != (flag::Fn | flag::Control)) {
      latched_ = false;
      return false;
    }
    if (latched_) {
      return false;
    }
    latched_ = true;
    return true;
  }
  bool isLatched() const { return latched_; }

private:
  bool latched_ = false;
};

} // namespace quillon
