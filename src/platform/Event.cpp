#include "platform/Event.h"

namespace quillon {

namespace {
std::optional<std::size_t> slotOf(EventField field) {
  const auto index = static_cast<std::size_t>(field);
  if (index >= Event::FieldCount) {
    return std::nullopt;
  }
  return index;
}
} // namespace

std::int64_t Event::integerField(EventField field) const {
  const auto slot = slotOf(field);
  return slot ? integerFields_[*slot] : 0;
}

void Event::setIntegerField(EventField field, std::int64_t value) {
  if (const auto slot = slotOf(field)) {
    integerFields_[*slot] = value;
  }
}

double Event::doubleField(EventField field) const {
  const auto slot = slotOf(field);
  return slot ? doubleFields_[*slot] : 0.0;
}

void Event::setDoubleField(EventField field, double value) {
  if (const auto slot = slotOf(field)) {
    doubleFields_[*slot] = value;
  }
}

Event makeKeyboardEvent(const EventSource* source, KeyCode keyCode, bool keyDown) {
  Event event(keyDown ? EventType::KeyDown : EventType::KeyUp);
  event.setIntegerField(EventField::KeyboardKeycode, keyCode);
  if (source != nullptr) {
    event.setIntegerField(EventField::SourceUserData, source->userData());
  }
  return event;
}

} // namespace quillon
