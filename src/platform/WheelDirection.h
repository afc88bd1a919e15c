// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

// Which way mouse wheels scroll, system-wide. Where the event tap can rewrite
// scroll events it reverses them itself and the system is left alone; where
// it cannot, the system reverses the wheels. Continuous devices (touchpads)
// are never touched: their direction follows the fingers already.
class WheelDirection {
public:
  virtual ~WheelDirection() = default;
  // Reversing twice is reversing once; turning it off gives the user's own
  // direction back, and so does the service's end.
  virtual void reverseDiscreteWheels(bool reversed) = 0;
  // The direction last asked for.
  virtual bool discreteWheelsReversed() const = 0;
};

} // namespace quillon
