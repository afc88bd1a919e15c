#pragma once

#include "platform/Clock.h"

namespace quillon {

// The machine's own clocks: steady time for intervals, the system clock for
// time stamps.
class MonotonicClock final : public Clock {
public:
  TimePoint now() const override;
  WallTime wallNow() const override;
  void sleep(Duration duration) override;
};

} // namespace quillon
