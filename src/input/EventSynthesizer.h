#pragma once

#include "platform/Event.h"
#include "platform/EventTaps.h"

#include <optional>

namespace quillon {

// The one place the product's own key events come from. They carry the
// synthetic marker, so the tap lets them through untouched.
class EventSynthesizer {
public:
  explicit EventSynthesizer(EventTaps& eventTaps) : eventTaps_(eventTaps) {}

  // The marked source, created on first use; absent if the system refused,
  // in which case events go out unmarked.
  const EventSource* source();

  // Key down then key up with exactly these flags, so modifiers the user is
  // physically holding never leak into the synthetic key.
  void postKey(KeyCode keyCode, EventFlags flags);

private:
  EventTaps& eventTaps_;
  std::optional<EventSource> source_;
  bool sourceRequested_ = false;
};

} // namespace quillon
