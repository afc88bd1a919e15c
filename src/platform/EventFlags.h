// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>

namespace quillon {

// The 64-bit modifier mask carried by every input event.
using EventFlags = std::uint64_t;

namespace flag {
inline constexpr EventFlags CapsLock = 0x10000;
inline constexpr EventFlags Shift = 0x20000;
inline constexpr EventFlags Control = 0x40000;
inline constexpr EventFlags Option = 0x80000;
inline constexpr EventFlags Command = 0x100000;
inline constexpr EventFlags NumericPad = 0x200000;
inline constexpr EventFlags Fn = 0x800000;

// The five modifiers that gestures and hotkeys reason about; Caps Lock, the
// keypad bit and the device-specific left/right bits never take part.
inline constexpr EventFlags GestureModifiers = Shift | Control | Option | Command | Fn;
} // namespace flag

constexpr bool hasFlag(EventFlags flags, EventFlags wanted) {
  return (flags & wanted) != 0;
}

} // namespace quillon
