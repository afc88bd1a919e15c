#pragma once

#include "platform/KeyCodes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A key combination as a script writes it: "cmd+shift", "ctrl+c", "fn+left",
// "shift+/". Modifiers go down in the written order and come up in reverse.
struct Chord {
  std::vector<KeyCode> modifiers;
  std::optional<KeyCode> key;
};

// The key may be a named key (space, return, tab, delete, escape, arrows,
// home, end, pageup, pagedown, f1-f12) or one character typed as on the US
// layout; a character that needs Shift there adds Shift to the modifiers.
// On failure the error says what was wrong.
std::optional<Chord> parseChord(std::string_view text, std::string* error);

} // namespace quillon
