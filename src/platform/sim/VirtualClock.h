#pragma once

#include "platform/Clock.h"

#include <functional>
#include <optional>

namespace quillon {

// The time a delay after a given time, or nothing when that lies past the
// latest time the clock can hold.
std::optional<TimePoint> laterBy(TimePoint time, Duration delay);

// Time that moves only when told to: by the run loop reaching a timer, or by
// a sleep, which passes instantly. It stops at the latest time it can hold
// rather than wrap around.
class VirtualClock final : public Clock {
public:
  static constexpr TimePoint latest = TimePoint::max();

  VirtualClock();

  TimePoint now() const override { return now_; }
  WallTime wallNow() const override;
  void sleep(Duration duration) override;

  // Moves forward only; a target in the past leaves the clock where it is.
  void advanceTo(TimePoint target);
  // Time stands still from here on.
  bool hasReachedLatest() const { return now_ == latest; }
  // Told after each sleep. What happens outside the sleeping thread (the
  // user still typing) happens meanwhile; one observer at a time, none when
  // empty.
  void setSleepObserver(std::function<void()> observer) { sleepObserver_ = std::move(observer); }

private:
  TimePoint start_;
  TimePoint now_;
  WallTime wallStart_;
  std::function<void()> sleepObserver_;
};

} // namespace quillon
