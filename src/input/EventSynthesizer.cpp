#include "input/EventSynthesizer.h"

#include "text/Unicode.h"

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

void EventSynthesizer::sendUnicodeString(std::string_view text) {
  forEachCharacter(text, [this](std::string_view character) {
    // Malformed bytes arrive as U+FFFD rather than as nothing.
    const std::u16string units = toUtf16(character);
    if (units.empty()) {
      return;
    }
    for (const bool keyDown : {true, false}) {
      // Key code 0 only carries the text; the receiver types the units.
      Event event = makeKeyboardEvent(source(), 0, keyDown);
      event.setUnicodeString(units);
      // Set, not left to the platform, which could add the modifiers the
      // user holds (Shift turning replacement text into capitals).
      event.setFlags(0);
      eventTaps_.post(event, TapLocation::Hid);
    }
    clock_.sleep(characterPause);
  });
}

} // namespace quillon
