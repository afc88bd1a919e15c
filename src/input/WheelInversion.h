#pragma once

#include "platform/Event.h"

namespace quillon {

// Reverses mouse-wheel scrolling. Continuous devices (trackpads, Magic
// Mouse) are never touched: their direction follows the fingers already.
class WheelInversion {
public:
  // Assumes the caller has checked the setting. Returns whether the event
  // was changed.
  static bool invert(Event& event);
};

} // namespace quillon
