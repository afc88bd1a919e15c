#include "platform/sim/SimKeyboard.h"

namespace quillon {

bool SimKeyboard::isModifierKey(KeyCode key) {
  return modifierFlag(key) != 0 || key == keycode::CapsLock;
}

EventFlags SimKeyboard::modifierFlag(KeyCode key) {
  switch (key) {
  case keycode::Shift:
  case keycode::RightShift:
    return flag::Shift;
  case keycode::Control:
  case keycode::RightControl:
    return flag::Control;
  case keycode::Option:
  case keycode::RightOption:
    return flag::Option;
  case keycode::Command:
  case keycode::RightCommand:
    return flag::Command;
  case keycode::Function:
    return flag::Fn;
  default:
    return 0;
  }
}

EventFlags SimKeyboard::intrinsicFlags(KeyCode key) {
  switch (key) {
  case keycode::LeftArrow:
  case keycode::RightArrow:
  case keycode::UpArrow:
  case keycode::DownArrow:
    return flag::Fn | flag::NumericPad;
  case keycode::Home:
  case keycode::End:
  case keycode::PageUp:
  case keycode::PageDown:
  case keycode::ForwardDelete:
  case keycode::F1:
  case keycode::F2:
  case keycode::F3:
  case keycode::F4:
  case keycode::F5:
  case keycode::F6:
  case keycode::F7:
  case keycode::F8:
  case keycode::F9:
  case keycode::F10:
  case keycode::F11:
  case keycode::F12:
    return flag::Fn;
  default:
    return 0;
  }
}

EventFlags SimKeyboard::flags() const {
  EventFlags result = capsLock_ ? flag::CapsLock : 0;
  for (const KeyCode key : held_) {
    result |= modifierFlag(key);
  }
  return result;
}

void SimKeyboard::sendFlagsChanged(KeyCode key) {
  Event event(EventType::FlagsChanged, flags());
  event.setIntegerField(EventField::KeyboardKeycode, key);
  events_.inject(std::move(event));
}

void SimKeyboard::keyDown(KeyCode key) {
  press(key, true);
}

void SimKeyboard::keyUp(KeyCode key) {
  press(key, false);
}

void SimKeyboard::press(KeyCode key, bool down) {
  if (key == keycode::CapsLock) {
    // The lock toggles on the press; its release reports nothing.
    if (down) {
      capsLock_ = !capsLock_;
      sendFlagsChanged(key);
    }
    return;
  }
  if (isModifierKey(key)) {
    if (down) {
      held_.insert(key);
    } else {
      held_.erase(key);
    }
    sendFlagsChanged(key);
    return;
  }
  Event event = makeKeyboardEvent(nullptr, key, down);
  event.setFlags(flags() | intrinsicFlags(key));
  events_.inject(std::move(event));
}

void SimKeyboard::tap(KeyCode key) {
  keyDown(key);
  keyUp(key);
}

} // namespace quillon
