#include "input/ModifierTapDetector.h"

namespace quillon {

namespace {
constexpr EventFlags commandShift = flag::Command | flag::Shift;
// Any of these in a chord rules out a Command+Shift tap.
constexpr EventFlags foreignModifiers = flag::Fn | flag::Control | flag::Option;
} // namespace

ModifierTapDetector::Outcome ModifierTapDetector::update(EventFlags flags) {
  const EventFlags held = flags & flag::GestureModifiers;
  if (held != 0 && !anyModifierDown_) {
    sawCmdShiftAlone_ = false;
    contaminated_ = false;
  }
  if ((flags & foreignModifiers) != 0) {
    contaminated_ = true;
  }
  if (held == commandShift) {
    sawCmdShiftAlone_ = true;
    anyModifierDown_ = true;
    return Outcome::None;
  }
  if (!anyModifierDown_ || held != 0) {
    anyModifierDown_ = held != 0;
    return Outcome::None;
  }

  // Every modifier has just been released after a chord.
  Outcome outcome = Outcome::None;
  if (sawCmdShiftAlone_ && !contaminated_) {
    const TimePoint now = clock_.now();
    if (lastTapAt_ && Duration(now - *lastTapAt_) < doubleTapWindow) {
      outcome = Outcome::TapAndDoubleTap;
      lastTapAt_.reset();
    } else {
      outcome = Outcome::Tap;
      lastTapAt_ = now;
    }
  }
  sawCmdShiftAlone_ = false;
  contaminated_ = false;
  anyModifierDown_ = false;
  return outcome;
}

} // namespace quillon
