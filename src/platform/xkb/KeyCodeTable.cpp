#include "platform/xkb/KeyCodeTable.h"

#include <array>
#include <cstddef>
#include <linux/input-event-codes.h>

namespace quillon {
namespace {

// KeyCodes.h leaves the keypad out; only this table needs its codes.
constexpr KeyCode kKeypadDecimal = 65;
constexpr KeyCode kKeypadMultiply = 67;
constexpr KeyCode kKeypadPlus = 69;
constexpr KeyCode kKeypadClear = 71;
constexpr KeyCode kKeypadDivide = 75;
constexpr KeyCode kKeypadEnter = 76;
constexpr KeyCode kKeypadMinus = 78;
constexpr KeyCode kKeypadEquals = 81;
constexpr KeyCode kKeypad0 = 82;
constexpr KeyCode kKeypad1 = 83;
constexpr KeyCode kKeypad2 = 84;
constexpr KeyCode kKeypad3 = 85;
constexpr KeyCode kKeypad4 = 86;
constexpr KeyCode kKeypad5 = 87;
constexpr KeyCode kKeypad6 = 88;
constexpr KeyCode kKeypad7 = 89;
constexpr KeyCode kKeypad8 = 91;
constexpr KeyCode kKeypad9 = 92;

// The X server and libxkbcommon number keys as evdev code + 8.
constexpr std::uint32_t xkb(std::uint32_t evdevCode) {
  return evdevCode + 8;
}

constexpr KeyCodeMapping key(KeyCode keyCode, std::uint32_t evdevCode) {
  return {keyCode, xkb(evdevCode), false};
}

constexpr KeyCodeMapping keypadKey(KeyCode keyCode, std::uint32_t evdevCode) {
  return {keyCode, xkb(evdevCode), true};
}

// Positions follow the ANSI Mac keyboard: the key left of 1 is Grave and the
// extra ISO key beside left Shift is Section, as on a PC 102-key board.
// Clear sits where PC keyboards have Num Lock and sends the same HID usage.
constexpr std::array kTable{
    key(keycode::A, KEY_A),
    key(keycode::S, KEY_S),
    key(keycode::D, KEY_D),
    key(keycode::F, KEY_F),
    key(keycode::H, KEY_H),
    key(keycode::G, KEY_G),
    key(keycode::Z, KEY_Z),
    key(keycode::X, KEY_X),
    key(keycode::C, KEY_C),
    key(keycode::V, KEY_V),
    key(keycode::Section, KEY_102ND),
    key(keycode::B, KEY_B),
    key(keycode::Q, KEY_Q),
    key(keycode::W, KEY_W),
    key(keycode::E, KEY_E),
    key(keycode::R, KEY_R),
    key(keycode::Y, KEY_Y),
    key(keycode::T, KEY_T),
    key(keycode::Digit1, KEY_1),
    key(keycode::Digit2, KEY_2),
    key(keycode::Digit3, KEY_3),
    key(keycode::Digit4, KEY_4),
    key(keycode::Digit6, KEY_6),
    key(keycode::Digit5, KEY_5),
    key(keycode::Equal, KEY_EQUAL),
    key(keycode::Digit9, KEY_9),
    key(keycode::Digit7, KEY_7),
    key(keycode::Minus, KEY_MINUS),
    key(keycode::Digit8, KEY_8),
    key(keycode::Digit0, KEY_0),
    key(keycode::RightBracket, KEY_RIGHTBRACE),
    key(keycode::O, KEY_O),
    key(keycode::U, KEY_U),
    key(keycode::LeftBracket, KEY_LEFTBRACE),
    key(keycode::I, KEY_I),
    key(keycode::P, KEY_P),
    key(keycode::Return, KEY_ENTER),
    key(keycode::L, KEY_L),
    key(keycode::J, KEY_J),
    key(keycode::Quote, KEY_APOSTROPHE),
    key(keycode::K, KEY_K),
    key(keycode::Semicolon, KEY_SEMICOLON),
    key(keycode::Backslash, KEY_BACKSLASH),
    key(keycode::Comma, KEY_COMMA),
    key(keycode::Slash, KEY_SLASH),
    key(keycode::N, KEY_N),
    key(keycode::M, KEY_M),
    key(keycode::Period, KEY_DOT),
    key(keycode::Tab, KEY_TAB),
    key(keycode::Space, KEY_SPACE),
    key(keycode::Grave, KEY_GRAVE),
    key(keycode::Delete, KEY_BACKSPACE),
    key(keycode::Escape, KEY_ESC),
    key(keycode::RightCommand, KEY_RIGHTMETA),
    key(keycode::Command, KEY_LEFTMETA),
    key(keycode::Shift, KEY_LEFTSHIFT),
    key(keycode::CapsLock, KEY_CAPSLOCK),
    key(keycode::Option, KEY_LEFTALT),
    key(keycode::Control, KEY_LEFTCTRL),
    key(keycode::RightShift, KEY_RIGHTSHIFT),
    key(keycode::RightOption, KEY_RIGHTALT),
    key(keycode::RightControl, KEY_RIGHTCTRL),
    key(keycode::Function, KEY_FN),
    keypadKey(kKeypadDecimal, KEY_KPDOT),
    keypadKey(kKeypadMultiply, KEY_KPASTERISK),
    keypadKey(kKeypadPlus, KEY_KPPLUS),
    keypadKey(kKeypadClear, KEY_NUMLOCK),
    keypadKey(kKeypadDivide, KEY_KPSLASH),
    keypadKey(kKeypadEnter, KEY_KPENTER),
    keypadKey(kKeypadMinus, KEY_KPMINUS),
    keypadKey(kKeypadEquals, KEY_KPEQUAL),
    keypadKey(kKeypad0, KEY_KP0),
    keypadKey(kKeypad1, KEY_KP1),
    keypadKey(kKeypad2, KEY_KP2),
    keypadKey(kKeypad3, KEY_KP3),
    keypadKey(kKeypad4, KEY_KP4),
    keypadKey(kKeypad5, KEY_KP5),
    keypadKey(kKeypad6, KEY_KP6),
    keypadKey(kKeypad7, KEY_KP7),
    keypadKey(kKeypad8, KEY_KP8),
    keypadKey(kKeypad9, KEY_KP9),
    key(keycode::F5, KEY_F5),
    key(keycode::F6, KEY_F6),
    key(keycode::F7, KEY_F7),
    key(keycode::F3, KEY_F3),
    key(keycode::F8, KEY_F8),
    key(keycode::F9, KEY_F9),
    key(keycode::F11, KEY_F11),
    key(keycode::F10, KEY_F10),
    key(keycode::F12, KEY_F12),
    key(keycode::Home, KEY_HOME),
    key(keycode::PageUp, KEY_PAGEUP),
    key(keycode::ForwardDelete, KEY_DELETE),
    key(keycode::F4, KEY_F4),
    key(keycode::End, KEY_END),
    key(keycode::F2, KEY_F2),
    key(keycode::PageDown, KEY_PAGEDOWN),
    key(keycode::F1, KEY_F1),
    key(keycode::LeftArrow, KEY_LEFT),
    key(keycode::RightArrow, KEY_RIGHT),
    key(keycode::DownArrow, KEY_DOWN),
    key(keycode::UpArrow, KEY_UP),
};

// Both lookups index plain arrays: the Linux backend translates every key
// event through them.
constexpr std::size_t kXkbKeycodeLimit = 512;
constexpr std::uint32_t kNoXkbKeycode = 0; // xkb keycodes start at 8
constexpr KeyCode kNoKeyCode = 0xFFFF;

constexpr bool tableIsWellFormed() {
  std::array<bool, kXkbKeycodeLimit> xkbSeen{};
  KeyCode previous = 0;
  bool first = true;
  for (const KeyCodeMapping& mapping : kTable) {
    const bool ordered = first || mapping.keyCode > previous;
    if (!ordered || mapping.keyCode >= kVirtualKeyCodeLimit || mapping.xkbKeycode < 8 ||
        mapping.xkbKeycode >= kXkbKeycodeLimit || xkbSeen[mapping.xkbKeycode]) {
      return false;
    }
    xkbSeen[mapping.xkbKeycode] = true;
    previous = mapping.keyCode;
    first = false;
  }
  return true;
}
// Two keys sharing either code would make one of them untranslatable.
static_assert(tableIsWellFormed(), "key code table must be sorted, in range and one-to-one");

constexpr auto kXkbByKeyCode = [] {
  std::array<std::uint32_t, kVirtualKeyCodeLimit> index{};
  index.fill(kNoXkbKeycode);
  for (const KeyCodeMapping& mapping : kTable) {
    index[mapping.keyCode] = mapping.xkbKeycode;
  }
  return index;
}();

constexpr auto kKeyCodeByXkb = [] {
  std::array<KeyCode, kXkbKeycodeLimit> index{};
  index.fill(kNoKeyCode);
  for (const KeyCodeMapping& mapping : kTable) {
    index[mapping.xkbKeycode] = mapping.keyCode;
  }
  return index;
}();

} // namespace

std::span<const KeyCodeMapping> keyCodeMappings() {
  return kTable;
}

std::optional<std::uint32_t> xkbKeycodeFor(KeyCode keyCode) {
  if (keyCode >= kVirtualKeyCodeLimit || kXkbByKeyCode[keyCode] == kNoXkbKeycode) {
    return std::nullopt;
  }
  return kXkbByKeyCode[keyCode];
}

std::optional<KeyCode> virtualKeyCodeFor(std::uint32_t xkbKeycode) {
  if (xkbKeycode >= kXkbKeycodeLimit || kKeyCodeByXkb[xkbKeycode] == kNoKeyCode) {
    return std::nullopt;
  }
  return kKeyCodeByXkb[xkbKeycode];
}

} // namespace quillon
