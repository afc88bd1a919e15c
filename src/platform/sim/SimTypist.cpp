#include "platform/sim/SimTypist.h"

#include "text/Unicode.h"

#include <utility>

namespace quillon {

std::optional<std::string> SimTypist::type(std::string_view layoutName, std::string_view text,
                                           Duration interKeyDelay) {
  std::string problem;
  const XkbLayout* layout = layouts_.layout(layoutName, &problem);
  if (layout == nullptr) {
    return "unknown layout \"" + std::string(layoutName) + "\"";
  }
  const auto characters = decodeUtf8(text);
  if (!characters) {
    return std::string("text is not valid UTF-8");
  }
  std::vector<TimedStroke> strokes;
  TimePoint due = clock_.now();
  for (const char32_t character : *characters) {
    const auto stroke = layout->strokeFor(character);
    if (!stroke) {
      return "no key of " + std::string(layoutName) + " types \"" + encodeUtf8(character) + "\"";
    }
    if (!strokes.empty()) {
      due = laterBy(due, interKeyDelay).value_or(VirtualClock::latest);
    }
    strokes.push_back({*stroke, due});
  }

  std::size_t next = 0;
  clock_.setSleepObserver([this, &strokes, &next] { strikeDue(strokes, next); });
  while (next < strokes.size()) {
    const TimePoint now = clock_.now();
    if (strokes[next].due > now) {
      runLoop_.advance(strokes[next].due - now);
    }
    strikeDue(strokes, next);
  }
  clock_.setSleepObserver({});
  return std::nullopt;
}

// The product answers a key while it is still down, so a key that falls
// due meanwhile goes down before the last one is up: rollover. Not while
// that one holds Shift or Option, though, which the next key would share.
void SimTypist::strikeDue(std::vector<TimedStroke>& strokes, std::size_t& next) {
  if (strikingWithModifiers_) {
    return;
  }
  while (next < strokes.size() && strokes[next].due <= clock_.now()) {
    const KeyStroke stroke = strokes[next++].stroke;
    const bool outer = std::exchange(strikingWithModifiers_, stroke.shift || stroke.option);
    strike(stroke.keyCode, stroke.shift, stroke.option);
    strikingWithModifiers_ = outer;
  }
}

void SimTypist::strike(KeyCode key, bool shift, bool option) {
  if (shift) {
    keyboard_.keyDown(keycode::Shift);
  }
  if (option) {
    keyboard_.keyDown(keycode::Option);
  }
  keyboard_.tap(key);
  if (option) {
    keyboard_.keyUp(keycode::Option);
  }
  if (shift) {
    keyboard_.keyUp(keycode::Shift);
  }
}

} // namespace quillon
