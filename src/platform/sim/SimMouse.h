#pragma once

#include "platform/sim/SimEventTaps.h"
#include "platform/sim/SimKeyboard.h"

namespace quillon {

// The physical mouse and scroll devices: presses at a screen point and wheel
// or trackpad scrolls, carrying the modifiers the keyboard holds.
class SimMouse {
public:
  // Points one wheel line scrolls by.
  static constexpr double pointsPerLine = 10;

  SimMouse(SimEventTaps& events, const SimKeyboard& keyboard)
      : events_(events), keyboard_(keyboard) {}

  // Presses and releases the left button; the count says which click of a
  // multiple click this is.
  void click(Point location, int clickCount = 1);
  // The pointer moving to a point.
  void move(Point location);
  // A wheel (discrete) or trackpad (continuous) scroll of whole lines on
  // axis 1 (vertical) and axis 2 (horizontal).
  void scroll(std::int64_t deltaY, std::int64_t deltaX, bool continuous);

private:
  SimEventTaps& events_;
  const SimKeyboard& keyboard_;
};

} // namespace quillon
