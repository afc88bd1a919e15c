#pragma once

#include "platform/WheelDirection.h"

namespace quillon {

// This desktop's event tap reverses wheel events itself, so the system's
// wheels are never changed: the request is only kept, for tests to read.
class SimWheelDirection final : public WheelDirection {
public:
  void reverseDiscreteWheels(bool reversed) override {
    reversed_ = reversed;
    ++requests_;
  }
  bool discreteWheelsReversed() const override { return reversed_; }
  int requests() const { return requests_; }

private:
  bool reversed_ = false;
  int requests_ = 0;
};

} // namespace quillon
