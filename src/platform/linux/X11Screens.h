#pragma once

#include "platform/Screens.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowProperties.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillon {

// A monitor in the root window's pixels: origin top-left, y downwards.
struct X11PixelRect {
  long x = 0;
  long y = 0;
  long width = 0;
  long height = 0;
  friend bool operator==(const X11PixelRect&, const X11PixelRect&) = default;
};

// The reserved edges of one dock or panel, as it publishes them: a
// thickness per root-window edge and the span along that edge it covers.
struct X11Strut {
  long left = 0;
  long right = 0;
  long top = 0;
  long bottom = 0;
  long leftStartY = 0;
  long leftEndY = 0;
  long rightStartY = 0;
  long rightEndY = 0;
  long topStartX = 0;
  long topEndX = 0;
  long bottomStartX = 0;
  long bottomEndX = 0;
};

// What a monitor leaves for windows once every dock that reserves an edge
// over it has its strip.
X11PixelRect usableArea(const X11PixelRect& monitor, long rootWidth, long rootHeight,
                        const std::vector<X11Strut>& struts);

// XRandR's monitors, the primary one first. The usable area of each is the
// monitor less the docks reserving space on it: the window manager's own
// work area is one rectangle for the whole screen, which a panel on one
// monitor would shrink on all of them. Read once and kept until the
// monitors, the window list or the work area change, since every frame
// conversion asks.
class X11Screens final : public Screens {
public:
  explicit X11Screens(X11Connection& connection);
  X11Screens(const X11Screens&) = delete;
  X11Screens& operator=(const X11Screens&) = delete;

  std::vector<ScreenInfo> screens() const override;
  std::optional<ScreenInfo> mainScreen() const override;
  Observation observeParametersChanged(std::function<void()> callback) override;

  // Where the primary monitor's top-left corner lies in root pixels: the
  // origin of the coordinates windows are read and written in.
  std::pair<long, long> primaryOrigin() const;

private:
  struct Monitor {
    X11PixelRect frame;
    X11PixelRect usable;
  };
  const std::vector<Monitor>& monitors() const;
  std::vector<Monitor> readMonitors() const;
  std::vector<X11Strut> readStruts() const;
  void onEvent(XEvent& event);
  void announceChange();

  X11Connection& connection_;
  X11WindowProperties properties_;
  int randrEventBase_ = -1;
  X11Atom clientListAtom_;
  X11Atom workAreaAtom_;
  mutable std::optional<std::vector<Monitor>> monitors_;
  std::vector<std::shared_ptr<std::function<void()>>> callbacks_;
  Observation events_;
};

} // namespace quillon
