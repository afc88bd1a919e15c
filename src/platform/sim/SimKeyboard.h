#pragma once

#include "platform/Event.h"
#include "platform/sim/SimEventTaps.h"

#include <set>

namespace quillon {

// The physical keyboard: keys go down and up, modifier keys produce
// flags-changed events carrying every modifier held, and each event enters
// the event system as the user's own.
class SimKeyboard {
public:
  explicit SimKeyboard(SimEventTaps& events) : events_(events) {}

  static bool isModifierKey(KeyCode key);
  // The flag a modifier key contributes, 0 for other keys.
  static EventFlags modifierFlag(KeyCode key);
  // Keys that the hardware reports with Fn (and arrows with the keypad bit).
  static EventFlags intrinsicFlags(KeyCode key);

  void keyDown(KeyCode key);
  void keyUp(KeyCode key);
  // Down then up.
  void tap(KeyCode key);

  EventFlags flags() const;
  bool isDown(KeyCode key) const { return held_.contains(key); }

private:
  void press(KeyCode key, bool down);
  void sendFlagsChanged(KeyCode key);

  SimEventTaps& events_;
  std::set<KeyCode> held_;
  bool capsLock_ = false;
};

} // namespace quillon
