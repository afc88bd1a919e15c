#include "input/PunctuationDoubleTap.h"

namespace quillon {

const std::array<PunctuationDoubleTap::Replacement, PunctuationDoubleTap::keyCount>
    PunctuationDoubleTap::replacements{{
        {keycode::Slash, ","},
        {keycode::Comma, ","},
        {keycode::Period, "."},
    }};

std::optional<std::string_view> PunctuationDoubleTap::keyDown(KeyCode keyCode, EventFlags flags) {
  if ((flags & (flag::Command | flag::Control | flag::Option)) != 0) {
    return std::nullopt;
  }
  for (std::size_t index = 0; index < keyCount; ++index) {
    if (replacements[index].keyCode != keyCode) {
      continue;
    }
    std::optional<TimePoint>& last = lastShiftedKeyAt_[index];
    if (!hasFlag(flags, flag::Shift)) {
      // An unshifted press between two shifted ones breaks the pair.
      last.reset();
      return std::nullopt;
    }
    const TimePoint now = clock_.now();
    if (last && Duration(now - *last) < doubleTapWindow) {
      // A third press starts a new pair.
      last.reset();
      return replacements[index].text;
    }
    last = now;
    return std::nullopt;
  }
  return std::nullopt;
}

} // namespace quillon
