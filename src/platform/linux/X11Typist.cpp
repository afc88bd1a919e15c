#include "platform/linux/X11Typist.h"

#include "platform/xkb/KeyCodeTable.h"
#include "text/Unicode.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

namespace quillon {

namespace {

// A fast typist's pace, so the product sees keys one at a time as from a hand.

constexpr const char* kMasterName = "typist";
constexpr const char* kKeyboardName = "typist XTEST keyboard";

int findDevice(Display* display, const char* name, int use) {
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  int found = -1;
  for (int index = 0; index < count; ++index) {
    if (std::strcmp(devices[index].name, name) == 0 && (use == 0 || devices[index].use == use)) {
      found = devices[index].deviceid;
    }
  }
  XIFreeDeviceInfo(devices);
  return found;
}

constexpr std::array<std::pair<EventFlags, KeyCode>, 4> kModifierKeys{{
    {flag::Shift, keycode::Shift},
    {flag::Control, keycode::Control},
    {flag::Option, keycode::Option},
    {flag::Command, keycode::Command},
}};

} // namespace

std::unique_ptr<X11Typist> X11Typist::open(const std::string& displayName) {
  auto layout = XkbLayout::load("us");
  Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
  if (display == nullptr || !layout) {
    if (display != nullptr) {
      XCloseDisplay(display);
    }
    return nullptr;
  }
  auto typist = std::unique_ptr<X11Typist>(new X11Typist(display, std::move(*layout)));
  if (typist->master_ < 0) {
    return nullptr;
  }
  return typist;
}

X11Typist::X11Typist(Display* display, XkbLayout layout)
    : display_(display), layout_(std::move(layout)) {
  XIAddMasterInfo add{XIAddMaster, const_cast<char*>(kMasterName), True, True};
  XIChangeHierarchy(display_, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&add), 1);
  XSync(display_, False);
  const std::string pointerName = std::string(kMasterName) + " pointer";
  const int pointer = findDevice(display_, pointerName.c_str(), XIMasterPointer);
  master_ = pointer;
  if (pointer >= 0) {
    // This connection's XTest input now comes from the typist's devices.
    XISetClientPointer(display_, None, pointer);
    XSync(display_, False);
  }
}

X11Typist::~X11Typist() {
  if (master_ >= 0) {
    XIRemoveMasterInfo remove{XIRemoveMaster, master_, XIFloating, 0, 0};
    XIChangeHierarchy(display_, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&remove), 1);
    XSync(display_, False);
  }
  XCloseDisplay(display_);
}

int X11Typist::xtestKeyboard() const {
  return findDevice(display_, kKeyboardName, 0);
}

bool X11Typist::keyboardGrabbed() const {
  return findDevice(display_, kKeyboardName, XIFloatingSlave) >= 0;
}

void X11Typist::send(KeyCode keyCode, bool down) {
  const auto key = xkbKeycodeFor(keyCode);
  if (!key) {
    return;
  }
  XTestFakeKeyEvent(display_, *key, down ? True : False, CurrentTime);
  XSync(display_, False);
}

void X11Typist::leaveFocus() {
  const std::string keyboardName = std::string(kMasterName) + " keyboard";
  const int keyboard = findDevice(display_, keyboardName.c_str(), XIMasterKeyboard);
  if (keyboard >= 0) {
    XISetFocus(display_, keyboard, None, CurrentTime);
    XSync(display_, False);
  }
}

// On every master keyboard: this connection's core keyboard is the typist's
// own, while the keys the product sends on arrive through the first master.
void X11Typist::selectGroup(unsigned group) {
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display_, XIAllMasterDevices, &count);
  for (int index = 0; index < count; ++index) {
    if (devices[index].use == XIMasterKeyboard) {
      XkbLockGroup(display_, static_cast<unsigned>(devices[index].deviceid), group);
    }
  }
  XIFreeDeviceInfo(devices);
  XSync(display_, False);
}

void X11Typist::keyDown(KeyCode keyCode) {
  send(keyCode, true);
}

void X11Typist::keyUp(KeyCode keyCode) {
  send(keyCode, false);
}

void X11Typist::pressModifier(KeyCode modifier) {
  send(modifier, true);
}

void X11Typist::releaseModifier(KeyCode modifier) {
  send(modifier, false);
}

void X11Typist::press(KeyCode keyCode, EventFlags modifiers) {
  for (const auto& [flag, key] : kModifierKeys) {
    if (hasFlag(modifiers, flag)) {
      send(key, true);
    }
  }
  send(keyCode, true);
  send(keyCode, false);
  std::this_thread::sleep_for(keyInterval_);
  for (const auto& [flag, key] : kModifierKeys) {
    if (hasFlag(modifiers, flag)) {
      send(key, false);
    }
  }
}

void X11Typist::type(const std::string& text) {
  forEachCharacter(text, [this](std::string_view character) {
    int32_t offset = 0;
    const int32_t point = nextCodePoint(character, offset);
    if (point < 0) {
      return;
    }
    const auto stroke = layout_.strokeFor(static_cast<char32_t>(point));
    if (stroke) {
      press(stroke->keyCode, stroke->shift ? flag::Shift : 0);
    }
  });
}

} // namespace quillon
