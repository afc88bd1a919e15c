#include "platform/linux/X11PointerState.h"

#include <X11/Xlib.h>

namespace quillon {

namespace {

EventFlags flagsOf(unsigned int mask) {
  EventFlags flags = 0;
  if ((mask & ShiftMask) != 0) {
    flags |= flag::Shift;
  }
  if ((mask & ControlMask) != 0) {
    flags |= flag::Control;
  }
  if ((mask & Mod1Mask) != 0) {
    flags |= flag::Option;
  }
  // Super is ⌘ on this desktop.
  if ((mask & Mod4Mask) != 0) {
    flags |= flag::Command;
  }
  return flags;
}

} // namespace

std::optional<X11PointerState> X11PointerState::query(Display* display, unsigned long root) {
  Window rootReturn = None;
  Window child = None;
  int rootX = 0;
  int rootY = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned int mask = 0;
  if (XQueryPointer(display, root, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY,
                    &mask) == False) {
    return std::nullopt;
  }
  return X11PointerState{rootX, rootY, flagsOf(mask)};
}

} // namespace quillon
