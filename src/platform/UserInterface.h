// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Geometry.h"
#include "platform/MainQueue.h"

#include <memory>
#include <string>

namespace quillon {

// A borderless, click-through, translucent notice window: the HUD.
struct HudWindowStyle {
  std::string message;
  Size contentSize{320, 80};
  int level = 25; // the status-window level, above ordinary windows
  double cornerRadius = 16;
  double fontSize = 16;
  // The label keeps at least this far inside each side edge.
  double horizontalInset = 16;
};

// A window on screen. Destroying the handle closes the window.
class OverlayWindow {
public:
  virtual ~OverlayWindow() = default;
  virtual void setFrameOrigin(Point origin) = 0;
  virtual void setAlpha(double alpha) = 0;
  // Animates the alpha and calls completion on the main queue when done.
  virtual void animateAlpha(double target, Duration duration, Task completion) = 0;
  // Front without activating the application or taking the focus.
  virtual void orderFrontRegardless() = 0;
  virtual void orderOut() = 0;
};

class UserInterface {
public:
  virtual ~UserInterface() = default;
  virtual std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) = 0;
};

} // namespace quillon
