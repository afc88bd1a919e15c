#include "platform/Event.h"

namespace quillon {

Event makeKeyboardEvent(const EventSource* source, KeyCode keyCode, bool keyDown) {
  Event event(keyDown ? EventType::KeyDown : EventType::KeyUp);
  event.setIntegerField(EventField::KeyboardKeycode, keyCode);
  if (source != nullptr) {
    event.setIntegerField(EventField::SourceUserData, source->userData());
  }
  return event;
}

} // namespace quillon
