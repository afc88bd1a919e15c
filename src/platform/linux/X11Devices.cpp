#include "platform/linux/X11Devices.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <string_view>

namespace quillon {

namespace {

bool isXTestDevice(const XIDeviceInfo& device) {
  return std::string_view(device.name).find("XTEST") != std::string_view::npos;
}

int coreXTestDevice(Display* display, int use) {
  int clientPointer = 0;
  XIGetClientPointer(display, None, &clientPointer);
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  // A client that never chose its pointer gets none back; the server then
  // routes its requests through the first master pair.
  if (clientPointer == 0) {
    for (int index = 0; index < count && clientPointer == 0; ++index) {
      if (devices[index].use == XIMasterPointer) {
        clientPointer = devices[index].deviceid;
      }
    }
  }
  int masterKeyboard = -1;
  for (int index = 0; index < count; ++index) {
    if (devices[index].deviceid == clientPointer) {
      masterKeyboard = devices[index].attachment;
    }
  }
  const int master = use == XISlavePointer ? clientPointer : masterKeyboard;
  int found = -1;
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    if (isXTestDevice(device) && device.use == use && device.attachment == master) {
      found = device.deviceid;
    }
  }
  XIFreeDeviceInfo(devices);
  return found;
}

} // namespace

std::vector<unsigned char> xinputMaskWith(std::initializer_list<int> events) {
  std::vector<unsigned char> mask(XIMaskLen(XI_LASTEVENT), 0);
  for (const int event : events) {
    // XISetMask, spelled out without its narrowing.
    auto& byte = mask[static_cast<std::size_t>(event >> 3)];
    byte = static_cast<unsigned char>(byte | (1u << (event & 7)));
  }
  return mask;
}

namespace {

std::vector<std::uint32_t> keysDownOf(Display* display, XDevice* opened) {
  std::vector<std::uint32_t> down;
  XDeviceState* state = XQueryDeviceState(display, opened);
  if (state == nullptr) {
    return down;
  }
  auto* item = reinterpret_cast<char*>(state->data);
  for (int index = 0; index < state->num_classes; ++index) {
    const auto* inputClass = reinterpret_cast<XInputClass*>(item);
    if (inputClass->c_class == KeyClass) {
      const auto* keys = reinterpret_cast<XKeyState*>(item);
      for (int keycode = 0; keycode < keys->num_keys && keycode < 256; ++keycode) {
        if ((keys->keys[keycode >> 3] & (1 << (keycode & 7))) != 0) {
          down.push_back(static_cast<std::uint32_t>(keycode));
        }
      }
    }
    item += inputClass->length;
  }
  XFreeDeviceState(state);
  return down;
}

} // namespace

std::vector<std::uint32_t> keysDownOn(Display* display, int device) {
  XDevice* opened = XOpenDevice(display, static_cast<XID>(device));
  if (opened == nullptr) {
    return {};
  }
  auto down = keysDownOf(display, opened);
  XCloseDevice(display, opened);
  return down;
}

KeyStates::~KeyStates() {
  for (const auto& [device, opened] : opened_) {
    XCloseDevice(display_, static_cast<XDevice*>(opened));
  }
}

std::vector<std::uint32_t> KeyStates::keysDown(int device) {
  auto found = opened_.find(device);
  if (found == opened_.end()) {
    XDevice* opened = XOpenDevice(display_, static_cast<XID>(device));
    if (opened == nullptr) {
      return {};
    }
    found = opened_.emplace(device, opened).first;
  }
  return keysDownOf(display_, static_cast<XDevice*>(found->second));
}

void KeyStates::forget(int device) {
  const auto found = opened_.find(device);
  if (found != opened_.end()) {
    XCloseDevice(display_, static_cast<XDevice*>(found->second));
    opened_.erase(found);
  }
}

int coreXTestKeyboard(Display* display) {
  return coreXTestDevice(display, XISlaveKeyboard);
}

int coreXTestPointer(Display* display) {
  return coreXTestDevice(display, XISlavePointer);
}

void releaseCoreXTestKeys(Display* display) {
  const int keyboard = coreXTestKeyboard(display);
  if (keyboard < 0) {
    return;
  }
  for (const std::uint32_t keycode : keysDownOn(display, keyboard)) {
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
  }
  XFlush(display);
}

} // namespace quillon
