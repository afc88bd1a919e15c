#pragma once

#include "platform/Clock.h"
#include "platform/EventFlags.h"

#include <optional>

namespace quillon {

// Two lone taps of Shift close together: pressed and released with no other
// modifier and no key in between.
class ShiftTapDetector {
public:
  static constexpr Duration doubleTapWindow{0.45};

  explicit ShiftTapDetector(const Clock& clock) : clock_(clock) {}

  template <typename OnDoubleTap> void flagsChanged(EventFlags flags, OnDoubleTap&& onDoubleTap) {
    if (update(flags)) {
      onDoubleTap();
    }
  }

  // A key typed while Shift is held (a capital letter) is not a tap.
  void contaminateIfShiftDown() {
    if (shiftWasDown_) {
      contaminated_ = true;
    }
  }

private:
  bool update(EventFlags flags);

  const Clock& clock_;
  bool shiftWasDown_ = false;
  bool contaminated_ = false;
  std::optional<TimePoint> lastTapAt_;
};

} // namespace quillon
