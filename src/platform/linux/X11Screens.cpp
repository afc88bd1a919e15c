#include "platform/linux/X11Screens.h"

#include "platform/ObservationList.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>

namespace quillon {

namespace {

constexpr std::size_t StrutPartialFields = 12;
constexpr std::size_t StrutFields = 4;

bool spansOverlap(long start, long end, long otherStart, long otherLength) {
  return start < otherStart + otherLength && otherStart <= end;
}

X11Strut strutFrom(const std::vector<unsigned long>& values, long rootWidth, long rootHeight) {
  X11Strut strut;
  strut.left = static_cast<long>(values[0]);
  strut.right = static_cast<long>(values[1]);
  strut.top = static_cast<long>(values[2]);
  strut.bottom = static_cast<long>(values[3]);
  if (values.size() >= StrutPartialFields) {
    strut.leftStartY = static_cast<long>(values[4]);
    strut.leftEndY = static_cast<long>(values[5]);
    strut.rightStartY = static_cast<long>(values[6]);
    strut.rightEndY = static_cast<long>(values[7]);
    strut.topStartX = static_cast<long>(values[8]);
    strut.topEndX = static_cast<long>(values[9]);
    strut.bottomStartX = static_cast<long>(values[10]);
    strut.bottomEndX = static_cast<long>(values[11]);
    return strut;
  }
  // The older form reserves the whole length of each edge.
  strut.leftEndY = strut.rightEndY = rootHeight - 1;
  strut.topEndX = strut.bottomEndX = rootWidth - 1;
  return strut;
}

} // namespace

X11PixelRect usableArea(const X11PixelRect& monitor, long rootWidth, long rootHeight,
                        const std::vector<X11Strut>& struts) {
  long left = monitor.x;
  long top = monitor.y;
  long right = monitor.x + monitor.width;
  long bottom = monitor.y + monitor.height;
  for (const X11Strut& strut : struts) {
    // A strip counts only for the monitor it lies over: it starts at a
    // root edge and reaches inwards as far as the strut says.
    if (strut.left > 0 && strut.left > monitor.x &&
        spansOverlap(strut.leftStartY, strut.leftEndY, monitor.y, monitor.height)) {
      left = std::max(left, strut.left);
    }
    if (strut.right > 0 && rootWidth - strut.right < monitor.x + monitor.width &&
        spansOverlap(strut.rightStartY, strut.rightEndY, monitor.y, monitor.height)) {
      right = std::min(right, rootWidth - strut.right);
    }
    if (strut.top > 0 && strut.top > monitor.y &&
        spansOverlap(strut.topStartX, strut.topEndX, monitor.x, monitor.width)) {
      top = std::max(top, strut.top);
    }
    if (strut.bottom > 0 && rootHeight - strut.bottom < monitor.y + monitor.height &&
        spansOverlap(strut.bottomStartX, strut.bottomEndX, monitor.x, monitor.width)) {
      bottom = std::min(bottom, rootHeight - strut.bottom);
    }
  }
  if (right <= left || bottom <= top) {
    // Docks claiming a whole monitor leave nothing sensible: keep it all.
    return monitor;
  }
  return {left, top, right - left, bottom - top};
}

X11Screens::X11Screens(X11Connection& connection)
    : connection_(connection), properties_(connection),
      clientListAtom_(connection.atom("_NET_CLIENT_LIST")),
      workAreaAtom_(connection.atom("_NET_WORKAREA")) {
  Display* display = connection_.display();
  int errorBase = 0;
  if (XRRQueryExtension(display, &randrEventBase_, &errorBase)) {
    XRRSelectInput(display, connection_.root(),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
  } else {
    randrEventBase_ = -1;
  }
  XWindowAttributes attributes;
  XGetWindowAttributes(display, connection_.root(), &attributes);
  XSelectInput(display, connection_.root(), attributes.your_event_mask | PropertyChangeMask);
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
}

void X11Screens::onEvent(XEvent& event) {
  if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRScreenChangeNotify) {
    XRRUpdateConfiguration(&event);
    monitors_.reset();
    announceChange();
    return;
  }
  if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRNotify) {
    monitors_.reset();
    return;
  }
  // The window manager recomputes the work area whenever a dock reserves
  // or gives back an edge, so its change stands for a strut's.
  if (event.type == PropertyNotify && event.xproperty.window == connection_.root() &&
      (event.xproperty.atom == clientListAtom_ || event.xproperty.atom == workAreaAtom_)) {
    monitors_.reset();
  }
}

void X11Screens::announceChange() {
  const auto callbacks = callbacks_;
  for (const auto& callback : callbacks) {
    (*callback)();
  }
}

std::vector<X11Strut> X11Screens::readStruts() const {
  Display* display = connection_.display();
  const long rootWidth = DisplayWidth(display, DefaultScreen(display));
  const long rootHeight = DisplayHeight(display, DefaultScreen(display));
  std::vector<X11Strut> struts;
  for (const X11Window window : properties_.windows(connection_.root(), "_NET_CLIENT_LIST")) {
    auto values = properties_.cardinals(window, "_NET_WM_STRUT_PARTIAL");
    if (values.size() < StrutPartialFields) {
      values = properties_.cardinals(window, "_NET_WM_STRUT");
    }
    if (values.size() >= StrutFields) {
      struts.push_back(strutFrom(values, rootWidth, rootHeight));
    }
  }
  return struts;
}

std::vector<X11Screens::Monitor> X11Screens::readMonitors() const {
  Display* display = connection_.display();
  const long rootWidth = DisplayWidth(display, DefaultScreen(display));
  const long rootHeight = DisplayHeight(display, DefaultScreen(display));
  std::vector<X11PixelRect> frames;
  if (randrEventBase_ >= 0) {
    int count = 0;
    XRRMonitorInfo* found = XRRGetMonitors(display, connection_.root(), True, &count);
    for (int index = 0; found != nullptr && index < count; ++index) {
      const XRRMonitorInfo& info = found[index];
      const X11PixelRect frame{info.x, info.y, info.width, info.height};
      if (info.primary) {
        frames.insert(frames.begin(), frame);
      } else {
        frames.push_back(frame);
      }
    }
    if (found != nullptr) {
      XRRFreeMonitors(found);
    }
  }
  if (frames.empty()) {
    frames.push_back({0, 0, rootWidth, rootHeight});
  }
  const auto struts = readStruts();
  std::vector<Monitor> monitors;
  for (const X11PixelRect& frame : frames) {
    monitors.push_back({frame, usableArea(frame, rootWidth, rootHeight, struts)});
  }
  return monitors;
}

const std::vector<X11Screens::Monitor>& X11Screens::monitors() const {
  if (!monitors_) {
    monitors_ = readMonitors();
  }
  return *monitors_;
}

std::pair<long, long> X11Screens::primaryOrigin() const {
  const X11PixelRect& primary = monitors().front().frame;
  return {primary.x, primary.y};
}

std::vector<ScreenInfo> X11Screens::screens() const {
  const auto& all = monitors();
  const X11PixelRect& primary = all.front().frame;
  // Screen coordinates grow upwards from the primary monitor's bottom edge.
  const auto toScreen = [&primary](const X11PixelRect& pixels) {
    return Rect{{static_cast<double>(pixels.x - primary.x),
                 static_cast<double>(primary.y + primary.height - pixels.y - pixels.height)},
                {static_cast<double>(pixels.width), static_cast<double>(pixels.height)}};
  };
  std::vector<ScreenInfo> result;
  for (const Monitor& monitor : all) {
    result.push_back({toScreen(monitor.frame), toScreen(monitor.usable)});
  }
  return result;
}

// Only a fallback for windows on no monitor at all: the primary one.
std::optional<ScreenInfo> X11Screens::mainScreen() const {
  return screens().front();
}

Observation X11Screens::observeParametersChanged(std::function<void()> callback) {
  auto shared = std::make_shared<std::function<void()>>(std::move(callback));
  return observeAsListEntry(callbacks_, std::move(shared));
}

} // namespace quillon
