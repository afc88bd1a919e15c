#include "platform/linux/XTestKeyboard.h"

#include "platform/xkb/KeyCodeTable.h"

#include <xkbcommon/xkbcommon.h>

#include <X11/extensions/XTest.h>
#include <algorithm>

namespace quillon {

namespace {

// Borrowing several keycodes in turn lets each one keep its character long
// enough for the client, without waiting between characters.
constexpr std::size_t kSpareKeyCount = 4;

struct ModifierKeys {
  EventFlags flag;
  KeyCode left;
  KeyCode right;
};

constexpr std::array<ModifierKeys, 4> kModifierKeys{{
    {flag::Shift, keycode::Shift, keycode::RightShift},
    {flag::Control, keycode::Control, keycode::RightControl},
    {flag::Option, keycode::Option, keycode::RightOption},
    {flag::Command, keycode::Command, keycode::RightCommand},
}};

std::vector<std::uint32_t> unmappedKeycodes(Display* display) {
  int minimum = 0;
  int maximum = 0;
  XDisplayKeycodes(display, &minimum, &maximum);
  int perKeycode = 0;
  const int count = maximum - minimum + 1;
  KeySym* symbols =
      XGetKeyboardMapping(display, static_cast<unsigned char>(minimum), count, &perKeycode);
  std::vector<std::uint32_t> unmapped;
  if (symbols == nullptr) {
    return unmapped;
  }
  // From the top: the highest keycodes are the least likely to be pressed.
  for (int index = count - 1; index >= 0 && unmapped.size() < kSpareKeyCount; --index) {
    const KeySym* row = symbols + index * perKeycode;
    if (std::all_of(row, row + perKeycode, [](KeySym symbol) { return symbol == NoSymbol; })) {
      unmapped.push_back(static_cast<std::uint32_t>(minimum + index));
    }
  }
  XFree(symbols);
  return unmapped;
}

std::vector<char32_t> codePoints(const std::u16string& text) {
  std::vector<char32_t> points;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char16_t unit = text[index];
    if (unit >= 0xD800 && unit < 0xDC00 && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
        text[index + 1] < 0xE000) {
      points.push_back(0x10000 + ((char32_t{unit} - 0xD800) << 10) +
                       (char32_t{text[index + 1]} - 0xDC00));
      ++index;
    } else {
      points.push_back(unit);
    }
  }
  return points;
}

} // namespace

XTestKeyboard::XTestKeyboard(X11Connection& connection, LinuxInputSources& sources,
                             MainQueue& mainQueue, Clock& clock)
    : connection_(connection), sources_(sources), mainQueue_(mainQueue), clock_(clock) {
  for (const std::uint32_t keycode : unmappedKeycodes(connection_.display())) {
    spareKeys_.push_back(SpareKey{keycode});
  }
}

EventFlags XTestKeyboard::modifierFlagOf(std::uint32_t keycode) {
  for (const ModifierKeys& keys : kModifierKeys) {
    if (xkbKeycodeFor(keys.left) == keycode || xkbKeycodeFor(keys.right) == keycode) {
      return keys.flag;
    }
  }
  return 0;
}

void XTestKeyboard::send(std::uint32_t keycode, bool down) {
  {
    const std::lock_guard lock(mutex_);
    if (down) {
      held_.insert(keycode);
    } else {
      held_.erase(keycode);
    }
  }
  XTestFakeKeyEvent(connection_.display(), keycode, down ? True : False, CurrentTime);
}

void XTestKeyboard::press(std::uint32_t keycode) {
  send(keycode, true);
  connection_.flush();
}

void XTestKeyboard::release(std::uint32_t keycode) {
  send(keycode, false);
  connection_.flush();
}

EventFlags XTestKeyboard::heldModifiers() const {
  const std::lock_guard lock(mutex_);
  EventFlags flags = 0;
  for (const std::uint32_t keycode : held_) {
    flags |= modifierFlagOf(keycode);
  }
  return flags;
}

std::vector<std::uint32_t> XTestKeyboard::heldKeysOf(EventFlags flag) const {
  const std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> keys;
  for (const std::uint32_t keycode : held_) {
    if (modifierFlagOf(keycode) == flag) {
      keys.push_back(keycode);
    }
  }
  return keys;
}

void XTestKeyboard::pressWithModifiers(std::uint32_t keycode, EventFlags flags) {
  std::vector<std::uint32_t> pressedForKey;
  std::vector<std::uint32_t> releasedForKey;
  for (const ModifierKeys& keys : kModifierKeys) {
    const bool wanted = hasFlag(flags, keys.flag);
    const std::vector<std::uint32_t> held = heldKeysOf(keys.flag);
    if (wanted && held.empty()) {
      const std::uint32_t left = xkbKeycodeFor(keys.left).value_or(0);
      send(left, true);
      pressedForKey.push_back(left);
    } else if (!wanted) {
      for (const std::uint32_t key : held) {
        send(key, false);
        releasedForKey.push_back(key);
      }
    }
  }
  send(keycode, true);
  for (const std::uint32_t key : pressedForKey) {
    send(key, false);
  }
  for (const std::uint32_t key : releasedForKey) {
    send(key, true);
  }
  connection_.flush();
}

void XTestKeyboard::releaseAll() {
  std::set<std::uint32_t> held;
  {
    const std::lock_guard lock(mutex_);
    held.swap(held_);
  }
  for (const std::uint32_t keycode : held) {
    XTestFakeKeyEvent(connection_.display(), keycode, False, CurrentTime);
  }
  connection_.flush();
}

void XTestKeyboard::type(const std::u16string& text) {
  for (const char32_t character : codePoints(text)) {
    typeCharacter(character);
  }
}

void XTestKeyboard::typeCharacter(char32_t character) {
  if (const auto stroke = sources_.strokeFor(character)) {
    pressWithModifiers(stroke->keycode, stroke->shift ? flag::Shift : 0);
    release(stroke->keycode);
    return;
  }
  typeThroughSpareKey(character);
}

void XTestKeyboard::typeThroughSpareKey(char32_t character) {
  const xkb_keysym_t symbol = xkb_utf32_to_keysym(character);
  if (spareKeys_.empty() || symbol == XKB_KEY_NoSymbol) {
    return;
  }
  const std::size_t index = nextSpareKey_;
  nextSpareKey_ = (nextSpareKey_ + 1) % spareKeys_.size();
  SpareKey& spare = spareKeys_[index];
  // A keycode still within its hold keeps it before taking a new character.
  const Duration sinceUse = clock_.now() - spare.lastUse;
  if (sinceUse < spareKeyHold) {
    clock_.sleep(spareKeyHold - sinceUse);
  }
  KeySym symbols[2] = {symbol, symbol};
  XChangeKeyboardMapping(connection_.display(), static_cast<int>(spare.keycode), 2, symbols, 1);
  pressWithModifiers(spare.keycode, 0);
  release(spare.keycode);
  spare.lastUse = clock_.now();
  const std::uint64_t generation = ++spare.generation;
  mainQueue_.asyncAfter(spareKeyHold, lifetime_.guard([this, index, generation] {
    restoreSpareKey(index, generation);
  }));
}

void XTestKeyboard::restoreSpareKey(std::size_t index, std::uint64_t generation) {
  SpareKey& spare = spareKeys_[index];
  if (spare.generation != generation) {
    return;
  }
  KeySym symbols[2] = {NoSymbol, NoSymbol};
  XChangeKeyboardMapping(connection_.display(), static_cast<int>(spare.keycode), 2, symbols, 1);
  connection_.flush();
}

} // namespace quillon
