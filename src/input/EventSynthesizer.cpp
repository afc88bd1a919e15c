#include "input/EventSynthesizer.h"

namespace quillon {

const EventSource* EventSynthesizer::source() {
  if (!sourceRequested_) {
    sourceRequested_ = true;
    source_ = eventTaps_.createSource(EventSourceState::CombinedSession);
    if (source_) {
      source_->setUserData(SyntheticEventMarker);
    }
  }
  return source_ ? &*source_ : nullptr;
}

void EventSynthesizer::postKey(KeyCode keyCode, EventFlags flags) {
  for (const bool keyDown : {true, false}) {
    Event event = makeKeyboardEvent(source(), keyCode, keyDown);
    event.setFlags(flags);
    eventTaps_.post(event, TapLocation::Hid);
  }
}

} // namespace quillon
