#pragma once

#include "platform/Clock.h"
#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"

#include <array>
#include <optional>
#include <string_view>

namespace quillon {

// A quick second press of a shifted punctuation key becomes plain
// punctuation: Shift+/ twice types "," instead of "??".
class PunctuationDoubleTap {
public:
  static constexpr Duration doubleTapWindow{0.5};

  struct Replacement {
    KeyCode keyCode;
    std::string_view text;
  };

  explicit PunctuationDoubleTap(const Clock& clock) : clock_(clock) {}

  // The text to type in place of this press (after erasing the first one),
  // or nothing to let the press through. Assumes the caller has checked the
  // setting; Command, Control and Option rule a press out here.
  std::optional<std::string_view> keyDown(KeyCode keyCode, EventFlags flags);

private:
  static constexpr std::size_t keyCount = 3;
  static const std::array<Replacement, keyCount> replacements;

  const Clock& clock_;
  std::array<std::optional<TimePoint>, keyCount> lastShiftedKeyAt_{};
};

} // namespace quillon
