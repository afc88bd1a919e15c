#include "platform/sim/VirtualClock.h"

namespace quillon {

namespace {
// Far enough from zero that "a long time ago" stays representable; the wall
// clock starts on a fixed date so file names and logs are reproducible.
constexpr auto virtualEpoch = std::chrono::hours(24 * 365);
constexpr auto wallEpochSeconds = std::chrono::seconds(1798761600); // 2027-01-01 00:00:00 UTC
} // namespace

VirtualClock::VirtualClock()
    : start_(TimePoint(virtualEpoch)), now_(start_), wallStart_(WallTime(wallEpochSeconds)) {}

WallTime VirtualClock::wallNow() const {
  return wallStart_ + std::chrono::duration_cast<WallTime::duration>(now_ - start_);
}

void VirtualClock::sleep(Duration duration) {
  if (duration > Duration::zero()) {
    now_ += toNanoseconds(duration);
  }
}

void VirtualClock::advanceTo(TimePoint target) {
  if (target > now_) {
    now_ = target;
  }
}

} // namespace quillon
