#pragma once

#include "platform/Clock.h"
#include "platform/EventFlags.h"

#include <optional>

namespace quillon {

// Turns modifier changes into a lone tap of Command and Shift together:
// pressed and released with nothing else. A double tap is reported too.
class ModifierTapDetector {
public:
  static constexpr Duration doubleTapWindow{0.4};

  explicit ModifierTapDetector(const Clock& clock) : clock_(clock) {}

  // Runs the actions synchronously, before returning.
  template <typename OnTap, typename OnDoubleTap>
  void flagsChanged(EventFlags flags, OnTap&& onTap, OnDoubleTap&& onDoubleTap);

  // An ordinary key went down during the chord: it is not a tap.
  void contaminate() { contaminated_ = true; }

private:
  enum class Outcome { None, Tap, TapAndDoubleTap };
  Outcome update(EventFlags flags);

  const Clock& clock_;
  bool anyModifierDown_ = false;
  bool sawCmdShiftAlone_ = false;
  bool contaminated_ = false;
  std::optional<TimePoint> lastTapAt_;
};

template <typename OnTap, typename OnDoubleTap>
void ModifierTapDetector::flagsChanged(EventFlags flags, OnTap&& onTap, OnDoubleTap&& onDoubleTap) {
  const Outcome outcome = update(flags);
  if (outcome == Outcome::None) {
    return;
  }
  onTap();
  if (outcome == Outcome::TapAndDoubleTap) {
    onDoubleTap();
  }
}

} // namespace quillon
