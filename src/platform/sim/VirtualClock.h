#pragma once

#include "platform/Clock.h"

namespace quillon {

// Time that moves only when told to: by the run loop reaching a timer, or by
// a sleep, which passes instantly.
class VirtualClock final : public Clock {
public:
  VirtualClock();

  TimePoint now() const override { return now_; }
  WallTime wallNow() const override;
  void sleep(Duration duration) override;

  // Moves forward only; a target in the past leaves the clock where it is.
  void advanceTo(TimePoint target);

private:
  TimePoint start_;
  TimePoint now_;
  WallTime wallStart_;
};

} // namespace quillon
