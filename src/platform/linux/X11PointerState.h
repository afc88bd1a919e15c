#pragma once

#include "platform/EventFlags.h"

#include <optional>

typedef struct _XDisplay Display;

namespace quillon {

// Where the pointer is on the root window and which modifiers are held, as
// the X server has them at the moment of asking.
struct X11PointerState {
  // X root coordinates: origin at the top left, y downwards.
  int rootX = 0;
  int rootY = 0;
  EventFlags modifiers = 0;

  // Nothing when the pointer is on another screen than this root's.
  static std::optional<X11PointerState> query(Display* display, unsigned long root);
};

} // namespace quillon
