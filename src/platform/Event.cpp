#include "platform/Event.h"

namespace quillon {

namespace {
std::optional<std::size_t> slotOf(EventField field) {
  switch (field) {
  case EventField::KeyboardKeycode:
    return 0;
  case EventField::ScrollWheelDeltaAxis1:
    return 1;
  case EventField::ScrollWheelDeltaAxis2:
    return 2;
  case EventField::ScrollWheelDeltaAxis3:
    return 3;
  case EventField::SourceUserData:
    return 4;
  case EventField::ScrollWheelIsContinuous:
    return 5;
  case EventField::ScrollWheelFixedPtDeltaAxis1:
    return 6;
  case EventField::ScrollWheelFixedPtDeltaAxis2:
    return 7;
  case EventField::ScrollWheelFixedPtDeltaAxis3:
    return 8;
  case EventField::ScrollWheelPointDeltaAxis1:
    return 9;
  case EventField::ScrollWheelPointDeltaAxis2:
    return 10;
  case EventField::ScrollWheelPointDeltaAxis3:
    return 11;
  case EventField::MouseEventClickState:
    return 12;
  }
  return std::nullopt;
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
