#include "platform/sim/VirtualClock.h"

namespace quillon {

namespace {
// Far enough from zero that "a long time ago" stays representable; the wall
// clock starts on a fixed date so file names and logs are reproducible.
constexpr auto virtualEpoch = std::chrono::hours(24 * 365);
constexpr auto wallEpochSeconds = std::chrono::seconds(1798761600); // 2027-01-01 00:00:00 UTC
} // namespace

std::optional<TimePoint> laterBy(TimePoint time, Duration delay) {
  if (!(delay > Duration::zero())) {
    return time;
  }
  const std::chrono::nanoseconds room = VirtualClock::latest - time;
  // Compared as the conversion computes it, so that a delay too long for the
  // range is caught before it overflows on the way to nanoseconds.
  if (delay.count() * 1e9 >= static_cast<double>(room.count())) {
    return std::nullopt;
  }
  const std::chrono::nanoseconds step = toNanoseconds(delay);
  if (step > room) {
    return std::nullopt;
  }
  return time + step;
}

VirtualClock::VirtualClock()
    : start_(TimePoint(virtualEpoch)), now_(start_), wallStart_(WallTime(wallEpochSeconds)) {}

WallTime VirtualClock::wallNow() const {
  const auto elapsed = std::chrono::duration_cast<WallTime::duration>(now_ - start_);
  if (elapsed > WallTime::max() - wallStart_) {
    return WallTime::max();
  }
  return wallStart_ + elapsed;
}

void VirtualClock::sleep(Duration duration) {
  now_ = laterBy(now_, duration).value_or(latest);
  if (sleepObserver_) {
    sleepObserver_();
  }
}

void VirtualClock::advanceTo(TimePoint target) {
  if (target > now_) {
    now_ = target;
  }
}

} // namespace quillon
