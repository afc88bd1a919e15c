// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>

namespace quillon {

// Hardware-independent virtual key codes. Every backend translates its native
// key codes to these, so the product's logic speaks one vocabulary.
using KeyCode = std::uint16_t;

namespace keycode {
inline constexpr KeyCode A = 0;
inline constexpr KeyCode S = 1;
inline constexpr KeyCode D = 2;
inline constexpr KeyCode F = 3;
inline constexpr KeyCode H = 4;
inline constexpr KeyCode G = 5;
inline constexpr KeyCode Z = 6;
inline constexpr KeyCode X = 7;
inline constexpr KeyCode C = 8;
inline constexpr KeyCode V = 9;
inline constexpr KeyCode Section = 10;
inline constexpr KeyCode B = 11;
inline constexpr KeyCode Q = 12;
inline constexpr KeyCode W = 13;
inline constexpr KeyCode E = 14;
inline constexpr KeyCode R = 15;
inline constexpr KeyCode Y = 16;
inline constexpr KeyCode T = 17;
inline constexpr KeyCode Digit1 = 18;
inline constexpr KeyCode Digit2 = 19;
inline constexpr KeyCode Digit3 = 20;
inline constexpr KeyCode Digit4 = 21;
inline constexpr KeyCode Digit6 = 22;
inline constexpr KeyCode Digit5 = 23;
inline constexpr KeyCode Equal = 24;
inline constexpr KeyCode Digit9 = 25;
inline constexpr KeyCode Digit7 = 26;
inline constexpr KeyCode Minus = 27;
inline constexpr KeyCode Digit8 = 28;
inline constexpr KeyCode Digit0 = 29;
inline constexpr KeyCode RightBracket = 30;
inline constexpr KeyCode O = 31;
inline constexpr KeyCode U = 32;
inline constexpr KeyCode LeftBracket = 33;
inline constexpr KeyCode I = 34;
inline constexpr KeyCode P = 35;
inline constexpr KeyCode Return = 36;
inline constexpr KeyCode L = 37;
inline constexpr KeyCode J = 38;
inline constexpr KeyCode Quote = 39;
inline constexpr KeyCode K = 40;
inline constexpr KeyCode Semicolon = 41;
inline constexpr KeyCode Backslash = 42;
inline constexpr KeyCode Comma = 43;
inline constexpr KeyCode Slash = 44;
inline constexpr KeyCode N = 45;
inline constexpr KeyCode M = 46;
inline constexpr KeyCode Period = 47;
inline constexpr KeyCode Tab = 48;
inline constexpr KeyCode Space = 49;
inline constexpr KeyCode Grave = 50;
inline constexpr KeyCode Delete = 51;
inline constexpr KeyCode Escape = 53;
inline constexpr KeyCode RightCommand = 54;
inline constexpr KeyCode Command = 55;
inline constexpr KeyCode Shift = 56;
inline constexpr KeyCode CapsLock = 57;
inline constexpr KeyCode Option = 58;
inline constexpr KeyCode Control = 59;
inline constexpr KeyCode RightShift = 60;
inline constexpr KeyCode RightOption = 61;
inline constexpr KeyCode RightControl = 62;
inline constexpr KeyCode Function = 63;
inline constexpr KeyCode F5 = 96;
inline constexpr KeyCode F6 = 97;
inline constexpr KeyCode F7 = 98;
inline constexpr KeyCode F3 = 99;
inline constexpr KeyCode F8 = 100;
inline constexpr KeyCode F9 = 101;
inline constexpr KeyCode F11 = 103;
inline constexpr KeyCode F10 = 109;
inline constexpr KeyCode F12 = 111;
inline constexpr KeyCode Home = 115;
inline constexpr KeyCode PageUp = 116;
inline constexpr KeyCode ForwardDelete = 117;
inline constexpr KeyCode F4 = 118;
inline constexpr KeyCode End = 119;
inline constexpr KeyCode F2 = 120;
inline constexpr KeyCode PageDown = 121;
inline constexpr KeyCode F1 = 122;
inline constexpr KeyCode LeftArrow = 123;
inline constexpr KeyCode RightArrow = 124;
inline constexpr KeyCode DownArrow = 125;
inline constexpr KeyCode UpArrow = 126;
} // namespace keycode

} // namespace quillon
