#include "input/EventSynthesizer.h"

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <memory>

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
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<icu::BreakIterator> characters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) {
    return;
  }
  characters->setText(unicode);
  int32_t start = characters->first();
  for (int32_t end = characters->next(); end != icu::BreakIterator::DONE;
       start = end, end = characters->next()) {
    const std::u16string units(unicode.getBuffer() + start, unicode.getBuffer() + end);
    if (units.empty()) {
      break;
    }
    for (const bool keyDown : {true, false}) {
      // Key code 0 only carries the text; the receiver types the units.
      Event event = makeKeyboardEvent(source(), 0, keyDown);
      event.setUnicodeString(units);
      eventTaps_.post(event, TapLocation::Hid);
    }
    clock_.sleep(characterPause);
  }
}

} // namespace quillon
