#include "platform/linux/XTestKeyboard.h"

#include "platform/xkb/KeyCodeTable.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <array>

namespace quillon {

namespace {

// Each character of a correction gets a keycode of its own, so even a long
// Russian word typed where the session's layout cannot type it needs no
// keycode twice within the reuse age.
constexpr std::size_t kSpareKeyCount = 24;

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

} // namespace

XTestKeyboard::XTestKeyboard(X11Connection& connection, MainQueue& mainQueue, Clock& clock)
    : connection_(connection), mainQueue_(mainQueue), clock_(clock) {
  for (const std::uint32_t keycode : unmappedKeycodes(connection_.display())) {
    spareKeys_.push_back(SpareKey{keycode});
  }
}

XTestKeyboard::~XTestKeyboard() {
  for (SpareKey& spare : spareKeys_) {
    if (spare.keysym != NoSymbol) {
      map(spare, NoSymbol);
    }
  }
  connection_.flush();
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
  if (down) {
    held_.insert(keycode);
  } else {
    held_.erase(keycode);
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
  EventFlags flags = 0;
  for (const std::uint32_t keycode : held_) {
    flags |= modifierFlagOf(keycode);
  }
  return flags;
}

std::vector<std::uint32_t> XTestKeyboard::heldKeysOf(EventFlags flag) const {
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
  const std::set<std::uint32_t> held = held_;
  for (const std::uint32_t keycode : held) {
    send(keycode, false);
  }
  connection_.flush();
}

void XTestKeyboard::map(SpareKey& spare, std::uint32_t keysym) {
  KeySym symbols[2] = {keysym, keysym};
  XChangeKeyboardMapping(connection_.display(), static_cast<int>(spare.keycode), 2, symbols, 1);
  spare.keysym = keysym;
}

// A keycode already carrying the character is used again as it is: no
// mapping change, nothing for a client to catch up with. Otherwise the
// longest unused one is taken, once it has kept its old character for the
// reuse age.
XTestKeyboard::SpareKey& XTestKeyboard::spareKeyFor(std::uint32_t keysym) {
  const auto same =
      std::find_if(spareKeys_.begin(), spareKeys_.end(),
                   [keysym](const SpareKey& spare) { return spare.keysym == keysym; });
  if (same != spareKeys_.end()) {
    return *same;
  }
  SpareKey& oldest = *std::min_element(
      spareKeys_.begin(), spareKeys_.end(),
      [](const SpareKey& left, const SpareKey& right) { return left.lastUse < right.lastUse; });
  const Duration age = clock_.now() - oldest.lastUse;
  if (oldest.keysym != NoSymbol && age < spareKeyReuseAge) {
    clock_.sleep(spareKeyReuseAge - age);
  }
  map(oldest, keysym);
  return oldest;
}

void XTestKeyboard::typeSymbol(std::uint32_t keysym) {
  if (spareKeys_.empty() || keysym == NoSymbol) {
    return;
  }
  SpareKey& spare = spareKeyFor(keysym);
  pressWithModifiers(spare.keycode, 0);
  release(spare.keycode);
  spare.lastUse = clock_.now();
  spare.restore = mainQueue_.scheduleAfter(spareKeyRestoreDelay, [this, &spare] {
    map(spare, NoSymbol);
    connection_.flush();
  });
}

} // namespace quillon
