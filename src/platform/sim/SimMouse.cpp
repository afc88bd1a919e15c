#include "platform/sim/SimMouse.h"

namespace quillon {

void SimMouse::click(Point location, int clickCount) {
  events_.setPointerLocation(location);
  for (const EventType type : {EventType::LeftMouseDown, EventType::LeftMouseUp}) {
    Event event(type, keyboard_.flags());
    event.setLocation(location);
    event.setIntegerField(EventField::MouseEventClickState, clickCount);
    events_.inject(std::move(event));
  }
}

void SimMouse::move(Point location) {
  events_.setPointerLocation(location);
  Event event(EventType::MouseMoved, keyboard_.flags());
  event.setLocation(location);
  events_.inject(std::move(event));
}

void SimMouse::scroll(std::int64_t deltaY, std::int64_t deltaX, bool continuous) {
  Event event(EventType::ScrollWheel, keyboard_.flags());
  event.setLocation(events_.pointerLocation());
  event.setIntegerField(EventField::ScrollWheelDeltaAxis1, deltaY);
  event.setIntegerField(EventField::ScrollWheelDeltaAxis2, deltaX);
  event.setDoubleField(EventField::ScrollWheelFixedPtDeltaAxis1, static_cast<double>(deltaY));
  event.setDoubleField(EventField::ScrollWheelFixedPtDeltaAxis2, static_cast<double>(deltaX));
  event.setDoubleField(EventField::ScrollWheelPointDeltaAxis1,
                       static_cast<double>(deltaY) * pointsPerLine);
  event.setDoubleField(EventField::ScrollWheelPointDeltaAxis2,
                       static_cast<double>(deltaX) * pointsPerLine);
  event.setIntegerField(EventField::ScrollWheelIsContinuous, continuous ? 1 : 0);
  events_.inject(std::move(event));
}

} // namespace quillon
