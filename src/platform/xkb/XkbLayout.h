#pragma once

#include "platform/KeyCodes.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

// The modifier state that decides which character a key types. Option is the
// layout's third level (AltGr on PC keyboards).
struct KeyModifiers {
  bool shift = false;
  bool capsLock = false;
  bool option = false;
};

// A physical key plus the modifiers to hold while pressing it, Caps Lock off.
struct KeyStroke {
  KeyCode keyCode;
  bool shift;
  bool option;

  bool operator==(const KeyStroke&) const = default;
};

// One keyboard layout from xkb-data, reduced to the tables the product asks on
// every keystroke. The keymap is compiled once while loading and then dropped:
// afterwards every answer is an array or hash lookup. Copying would duplicate
// those tables, so the type only moves.
class XkbLayout {
public:
  // `layoutName` names one layout as "name" or "name(variant)", e.g. "us", "ru(mac)".
  // Returns nullopt and describes the reason in `error` when the name is
  // malformed or xkb-data cannot build the layout.
  static std::optional<XkbLayout> load(std::string_view layoutName, std::string* error = nullptr);

  XkbLayout(XkbLayout&&) = default;
  XkbLayout& operator=(XkbLayout&&) = default;
  XkbLayout(const XkbLayout&) = delete;
  XkbLayout& operator=(const XkbLayout&) = delete;
  ~XkbLayout() = default;

  std::string name() const { return name_; }

  // The UTF-8 text the key types. Empty when it types nothing printable: dead
  // keys, modifiers, and keys such as Return or Tab whose xkb text is a control
  // character; callers recognise those by key code.
  std::string text(KeyCode key, KeyModifiers modifiers) const;

  // The key that types `character`, preferring no modifiers, then Shift, then
  // Option, then both, and among equals the lowest key code. Keypad keys are
  // never chosen.
  std::optional<KeyStroke> strokeFor(char32_t character) const;

  // One slot for every combination of the three KeyModifiers flags.
  using KeyTexts = std::array<std::string, 8>;

private:
  XkbLayout(std::string layoutName, std::vector<KeyTexts> texts,
            std::unordered_map<char32_t, KeyStroke> strokes);

  std::string name_;
  std::vector<KeyTexts> texts_; // indexed by key code
  std::unordered_map<char32_t, KeyStroke> strokes_;
};

} // namespace quillon
