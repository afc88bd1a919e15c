// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Event.h"

namespace quillon {

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Screen coordinates: points, origin at the bottom-left of the primary
// display, y upwards.
struct Rect {
  Point origin;
  Size size;
  double midX() const { return origin.x + size.width / 2; }
  double midY() const { return origin.y + size.height / 2; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace quillon
