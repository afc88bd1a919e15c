#include "input/ShiftTapDetector.h"

namespace quillon {

namespace {
constexpr EventFlags otherModifiers = flag::Control | flag::Option | flag::Command | flag::Fn;
} // namespace

bool ShiftTapDetector::update(EventFlags flags) {
  const bool shift = hasFlag(flags, flag::Shift);
  const bool others = (flags & otherModifiers) != 0;
  bool doubleTap = false;
  if (!shiftWasDown_) {
    if (shift) {
      // Shift going down while another modifier is held is no clean tap.
      contaminated_ = others;
    }
  } else if (shift) {
    if (others) {
      contaminated_ = true;
    }
  } else {
    // Shift released. A contaminated press does not reset the last clean
    // tap: clean taps on either side of it still pair up.
    if (!contaminated_) {
      const TimePoint now = clock_.now();
      if (lastTapAt_ && Duration(now - *lastTapAt_) < doubleTapWindow) {
        doubleTap = true;
        lastTapAt_.reset();
      } else {
        lastTapAt_ = now;
      }
    }
    contaminated_ = false;
  }
  shiftWasDown_ = shift;
  return doubleTap;
}

} // namespace quillon
