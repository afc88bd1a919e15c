// Platform boundary: this header stays free of OS and toolkit headers, so the
// simulated desktop and the Linux backend can share it.
#pragma once

#include "platform/KeyCodes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillon {

// One physical key, named both ways: our virtual key code and the xkb keycode
// (evdev code + 8) the Linux input stack reports for the same position.
struct KeyCodeMapping {
  KeyCode keyCode;
  std::uint32_t xkbKeycode;
  // Keypad keys repeat characters of the main block; whoever picks a key to
  // type a character wants the main block.
  bool keypad = false;
};

// Every virtual key code in the table is below this bound, so callers can keep
// per-key data in plain arrays.
inline constexpr std::size_t kVirtualKeyCodeLimit = 128;

// Every key the product can see or synthesize, ordered by virtual key code.
std::span<const KeyCodeMapping> keyCodeMappings();

std::optional<std::uint32_t> xkbKeycodeFor(KeyCode keyCode);
std::optional<KeyCode> virtualKeyCodeFor(std::uint32_t xkbKeycode);

} // namespace quillon
