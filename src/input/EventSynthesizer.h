#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/EventTaps.h"

#include <optional>
#include <string_view>

namespace quillon {

// The one place the product's own key events come from. They carry the
// synthetic marker, so the tap lets them through untouched.
class EventSynthesizer {
public:
  // Between two typed characters, so the receiver keeps them in order.
  static constexpr Duration characterPause{0.002};

  EventSynthesizer(EventTaps& eventTaps, Clock& clock) : eventTaps_(eventTaps), clock_(clock) {}

  // The marked source, created on first use; absent if the system refused,
  // in which case events go out unmarked.
  const EventSource* source();

  // Key down then key up with exactly these flags, so modifiers the user is
  // physically holding never leak into the synthetic key.
  void postKey(KeyCode keyCode, EventFlags flags);
  // An application's standard shortcut (copy, paste, select all) with the
  // modifier applications on this desktop take it with.
  void postShortcut(KeyCode keyCode) { postKey(keyCode, eventTaps_.standardShortcutModifier()); }

  // Types the text: one down/up pair per user-perceived character, carrying
  // all of its UTF-16 units and no flags whatever is held, then a short
  // pause. Blocks the calling thread
  // 2 ms per character. Text that is not valid UTF-8 is typed with U+FFFD
  // in place of each malformed sequence.
  void sendUnicodeString(std::string_view text);

private:
  EventTaps& eventTaps_;
  Clock& clock_;
  std::optional<EventSource> source_;
  bool sourceRequested_ = false;
};

} // namespace quillon
