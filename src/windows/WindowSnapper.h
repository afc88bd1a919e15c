#pragma once

#include "platform/Accessibility.h"
#include "platform/Log.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"

#include <array>
#include <optional>
#include <string_view>

namespace quillon {

// Moves the focused window of the frontmost application to a fixed zone of
// the screen it is on. The position manager reuses its window lookup, frame
// access and zone geometry; between calls it keeps only which application
// it last reported as showing no window.
//
// Frames are in screen coordinates (origin at the bottom-left of the primary
// display, y upwards); accessibility speaks top-left, y downwards. The
// primary display's height links the two and is read afresh at every
// conversion, since displays come and go.
class WindowSnapper {
public:
  // The order matters: auto-snapping tries zones in it.
  enum class Position {
    leftHalf,
    rightHalf,
    topHalf,
    bottomHalf,
    topLeft,
    topRight,
    bottomLeft,
    bottomRight,
    maximize,
    center,
  };
  static constexpr std::array<Position, 10> allPositions{
      Position::leftHalf, Position::rightHalf, Position::topHalf,    Position::bottomHalf,
      Position::topLeft,  Position::topRight,  Position::bottomLeft, Position::bottomRight,
      Position::maximize, Position::center,
  };

  struct Target {
    AXElement window;
    ScreenInfo screen;
  };

  static constexpr Duration MessagingTimeout{1.0};

  WindowSnapper(Accessibility& accessibility, const Workspace& workspace, const Screens& screens,
                Log& log)
      : accessibility_(accessibility), workspace_(workspace), screens_(screens), log_(log) {}

  static std::string_view name(Position position);

  void snapFocusedWindow(Position position);
  // When an application shows no window at all: say so at every ask (a
  // snap the user asked for), or once until something changes (polls).
  enum class WindowlessReport { everyTime, whenItStarts };
  std::optional<Target>
  focusedWindowAndScreen(WindowlessReport report = WindowlessReport::whenItStarts);
  std::optional<Rect> windowFrame(const AXElement& window);
  // Results are not checked: an application may refuse, and the window then
  // stays where the application leaves it.
  void setWindowFrame(const AXElement& window, const Rect& appKitRect);

  static Rect rect(Position position, const Rect& area, double gap);
  Rect axToAppKit(Point origin, Size size) const;
  Point appKitToAX(const Rect& rect) const;

  // Sets the timeout and switches on the two flags that make lazily built
  // accessibility trees expose their windows; both are set on every call.
  void prepareApplication(const AXElement& application, Duration timeout);
  // The focused window, or else the first of the application's windows.
  std::optional<AXElement> focusedOrFirstWindow(const AXElement& application);

private:
  std::optional<AXElement> focusedApplication();
  std::optional<ScreenInfo> screenContaining(const Rect& frame) const;
  double primaryHeight() const;

  Accessibility& accessibility_;
  const Workspace& workspace_;
  const Screens& screens_;
  Log& log_;
  // The process identifier, 0 for one found only through the system, of
  // the application reported as showing no window: the position manager
  // asks four times a second, so the condition is logged as it starts.
  std::optional<int> reportedWindowless_;
};

} // namespace quillon
