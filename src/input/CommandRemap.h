#pragma once

#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"

#include <cstdint>
#include <optional>

namespace quillon {

// Control (or Fn) with one of the editing letters acts as Command, so the
// clipboard and editing shortcuts of other systems work everywhere.
class CommandRemap {
public:
  // Z X C V B Q U I N, bit n for key code n.
  static constexpr std::uint64_t remappedKeys = 0x200500001BC0;

  // The flags to deliver instead, or nothing when the key is left alone.
  // Assumes the caller has checked the setting.
  static std::optional<EventFlags> remap(KeyCode keyCode, EventFlags flags);
};

} // namespace quillon
