#include "input/WheelInversion.h"

#include <array>
#include <limits>

namespace quillon {

namespace {

// The most negative delta has no positive counterpart: it saturates.
std::int64_t negated(std::int64_t value) {
  if (value == std::numeric_limits<std::int64_t>::min()) {
    return std::numeric_limits<std::int64_t>::max();
  }
  return -value;
}

constexpr std::array<EventField, 2> integerDeltas{EventField::ScrollWheelDeltaAxis1,
                                                  EventField::ScrollWheelDeltaAxis2};
constexpr std::array<EventField, 4> realDeltas{
    EventField::ScrollWheelFixedPtDeltaAxis1, EventField::ScrollWheelFixedPtDeltaAxis2,
    EventField::ScrollWheelPointDeltaAxis1, EventField::ScrollWheelPointDeltaAxis2};

} // namespace

bool WheelInversion::invert(Event& event) {
  if (event.integerField(EventField::ScrollWheelIsContinuous) != 0) {
    return false;
  }
  for (const EventField field : integerDeltas) {
    event.setIntegerField(field, negated(event.integerField(field)));
  }
  for (const EventField field : realDeltas) {
    event.setDoubleField(field, -event.doubleField(field));
  }
  return true;
}

} // namespace quillon
