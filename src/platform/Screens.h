// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Geometry.h"
#include "platform/Observation.h"

#include <functional>
#include <optional>
#include <vector>

namespace quillon {

struct ScreenInfo {
  Rect frame;
  // The frame less the menu bar and the Dock.
  Rect visibleFrame;
  friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

class Screens {
public:
  virtual ~Screens() = default;
  // The first screen is the primary one, whose bottom-left is the origin.
  virtual std::vector<ScreenInfo> screens() const = 0;
  // The screen with the keyboard focus, if any screen is connected.
  virtual std::optional<ScreenInfo> mainScreen() const = 0;
  // A display connected, removed or rearranged; calls back on the main queue.
  virtual Observation observeParametersChanged(std::function<void()> callback) = 0;
};

} // namespace quillon
