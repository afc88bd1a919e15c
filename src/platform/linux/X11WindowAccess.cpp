#include "platform/linux/X11WindowAccess.h"

#include "platform/ObservationList.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

namespace quillon {

class X11WindowAccess::Element final : public AXElement::Reference {
public:
  enum class Kind { systemWide, application, window };

  Element(Kind elementKind, std::optional<int> owner, X11Window id)
      : kind(elementKind), process(owner), window(id) {}

  const Kind kind;
  // An application's process, when its windows name one.
  const std::optional<int> process;
  // A window's id; for an application naming no process, its one window.
  const X11Window window;
  // The frame last asked for, as the caller gave it: moves and resizes come
  // one at a time, and each is sent with the other's exact numbers so that
  // pixels are rounded once, from the whole frame.
  std::optional<Point> wantedOrigin;
  std::optional<Size> wantedSize;
  // A frame read for the position, kept for the size read that follows it.
  std::optional<X11PixelRect> pairedRead;
  bool reportedGone = false;
};

struct X11WindowAccess::Watch {
  int process;
  std::function<void(const AXElement&)> callback;
};

namespace {

// _NET_MOVERESIZE_WINDOW's first field: the gravity, then which of x, y,
// width and height are given, then who asks. North-west gravity places the
// frame's corner, whatever border the client had before it was framed;
// static gravity would place the client and shift it by that lost border.
constexpr long FrameCornerGravity = 1;
constexpr long AllGeometryFields = 0xF << 8;
constexpr int SourceShift = 12;
constexpr long StateRemove = 0;
// Well inside the snapper's one-second budget for talking to a window.
constexpr auto UnmaximizeWait = std::chrono::milliseconds(250);
constexpr auto UnmaximizePollInterval = std::chrono::milliseconds(5);

struct Extents {
  long left = 0;
  long right = 0;
  long top = 0;
  long bottom = 0;
};

Extents extentsFrom(const std::vector<unsigned long>& values) {
  if (values.size() < 4) {
    return {};
  }
  return {static_cast<long>(values[0]), static_cast<long>(values[1]), static_cast<long>(values[2]),
          static_cast<long>(values[3])};
}

} // namespace

X11WindowAccess::X11WindowAccess(X11Connection& connection, const X11Screens& screens, Log& log)
    : connection_(connection), screens_(screens), log_(log), properties_(connection),
      activeWindowAtom_(connection.atom("_NET_ACTIVE_WINDOW")),
      clientListAtom_(connection.atom("_NET_CLIENT_LIST")),
      supportedAtom_(connection.atom("_NET_SUPPORTED")) {
  Display* display = connection_.display();
  XWindowAttributes attributes;
  XGetWindowAttributes(display, connection_.root(), &attributes);
  XSelectInput(display, connection_.root(), attributes.your_event_mask | PropertyChangeMask);
  const auto clients = properties_.windows(connection_.root(), "_NET_CLIENT_LIST");
  knownWindows_.insert(clients.begin(), clients.end());
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
}

// Watched from the first read: the window for its size, its properties and
// a new parent, the window manager's frame around it for moves.
X11WindowAccess::WindowFacts& X11WindowAccess::factsOf(X11Window window) const {
  const auto found = facts_.find(window);
  if (found != facts_.end()) {
    return found->second;
  }
  Display* display = connection_.display();
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) != 0) {
    XSelectInput(display, window,
                 attributes.your_event_mask | StructureNotifyMask | PropertyChangeMask);
  }
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  X11Window outermost = window;
  while (XQueryTree(display, outermost, &root, &parent, &children, &count) != 0) {
    XFree(children);
    children = nullptr;
    if (parent == 0 || parent == root) {
      break;
    }
    outermost = parent;
  }
  if (outermost != window && XGetWindowAttributes(display, outermost, &attributes) != 0) {
    XSelectInput(display, outermost, attributes.your_event_mask | StructureNotifyMask);
    framesAround_[outermost] = window;
  }
  return facts_[window];
}

std::optional<X11PixelRect> X11WindowAccess::knownFrame(X11Window window) const {
  WindowFacts& facts = factsOf(window);
  if (!facts.frame) {
    facts.frame = visibleFrame(window);
  }
  return facts.frame;
}

void X11WindowAccess::forgetFrame(X11Window window) {
  const auto found = facts_.find(window);
  if (found != facts_.end()) {
    found->second.frame.reset();
  }
}

void X11WindowAccess::forgetWindow(X11Window window) {
  facts_.erase(window);
  std::erase_if(framesAround_, [window](const auto& entry) { return entry.second == window; });
}

void X11WindowAccess::onWindowEvent(const XEvent& event) {
  switch (event.type) {
  case ConfigureNotify: {
    const X11Window changed = event.xconfigure.window;
    forgetFrame(changed);
    if (const auto around = framesAround_.find(changed); around != framesAround_.end()) {
      forgetFrame(around->second);
    }
    break;
  }
  case UnmapNotify:
    forgetFrame(event.xunmap.window);
    break;
  case ReparentNotify:
    // Framed anew: the frame to watch is another one.
    forgetWindow(event.xreparent.window);
    break;
  case DestroyNotify:
    forgetWindow(event.xdestroywindow.window);
    framesAround_.erase(event.xdestroywindow.window);
    break;
  case PropertyNotify: {
    const auto found = facts_.find(event.xproperty.window);
    if (found == facts_.end()) {
      break;
    }
    const X11Atom atom = event.xproperty.atom;
    if (atom == connection_.atom("_NET_WM_PID")) {
      found->second.process.reset();
    } else if (atom == connection_.atom("_NET_WM_WINDOW_TYPE")) {
      found->second.normal.reset();
    } else if (atom == connection_.atom("_NET_FRAME_EXTENTS") ||
               atom == connection_.atom("_GTK_FRAME_EXTENTS")) {
      found->second.frame.reset();
    }
    break;
  }
  default:
    break;
  }
}

void X11WindowAccess::onEvent(XEvent& event) {
  if (event.type != PropertyNotify || event.xproperty.window != connection_.root()) {
    onWindowEvent(event);
    return;
  }
  if (event.xproperty.atom == activeWindowAtom_) {
    activeWindow_.reset();
  } else if (event.xproperty.atom == supportedAtom_) {
    supportsMoveResize_.reset();
  } else if (event.xproperty.atom == clientListAtom_) {
    noticeNewWindows();
  }
}

void X11WindowAccess::noticeNewWindows() {
  const auto clients = properties_.windows(connection_.root(), "_NET_CLIENT_LIST");
  std::vector<X11Window> created;
  for (const X11Window window : clients) {
    if (!knownWindows_.contains(window)) {
      created.push_back(window);
    }
  }
  knownWindows_ = std::set<X11Window>(clients.begin(), clients.end());
  // A window gone without its destruction seen leaves nothing behind.
  std::vector<X11Window> gone;
  for (const auto& [window, facts] : facts_) {
    if (!knownWindows_.contains(window)) {
      gone.push_back(window);
    }
  }
  for (const X11Window window : gone) {
    forgetWindow(window);
  }
  if (watches_.empty()) {
    return;
  }
  for (const X11Window window : created) {
    const auto process = processOf(window);
    if (!process || !isNormalWindow(window)) {
      continue;
    }
    // A copy: a callback may stop watching.
    const auto watches = watches_;
    for (const auto& watch : watches) {
      if (watch->process == *process) {
        watch->callback(windowElement(window));
      }
    }
  }
}

bool X11WindowAccess::windowManagerRunning() const {
  const auto check = properties_.windows(connection_.root(), "_NET_SUPPORTING_WM_CHECK");
  if (check.empty()) {
    return false;
  }
  // A stale property left by a manager that died points at a window that no
  // longer says so itself.
  const auto confirmed = properties_.windows(check.front(), "_NET_SUPPORTING_WM_CHECK");
  return !confirmed.empty() && confirmed.front() == check.front();
}

AXElement X11WindowAccess::systemWideElement() {
  return AXElement(std::make_shared<Element>(Element::Kind::systemWide, std::nullopt, 0));
}

AXElement X11WindowAccess::applicationElement(int processIdentifier) {
  return AXElement(
      std::make_shared<Element>(Element::Kind::application, processIdentifier, X11Window{0}));
}

AXElement X11WindowAccess::windowElement(X11Window window) {
  return AXElement(std::make_shared<Element>(Element::Kind::window, std::nullopt, window));
}

std::optional<X11Window> X11WindowAccess::activeWindow() const {
  if (!activeWindow_) {
    const auto windows = properties_.windows(connection_.root(), "_NET_ACTIVE_WINDOW");
    activeWindow_ = windows.empty() || windows.front() == 0
                        ? std::nullopt
                        : std::optional<X11Window>(windows.front());
  }
  return *activeWindow_;
}

std::optional<int> X11WindowAccess::processOf(X11Window window) const {
  WindowFacts& facts = factsOf(window);
  if (!facts.process) {
    const auto processes = properties_.cardinals(window, "_NET_WM_PID");
    if (!processes.empty() && processes.front() != 0) {
      facts.process = static_cast<int>(processes.front());
    }
  }
  return facts.process;
}

// Docks, menus, tooltips and the desktop are windows too, but none is one
// the user would snap or have remembered.
bool X11WindowAccess::isNormalWindow(X11Window window) const {
  WindowFacts& facts = factsOf(window);
  if (!facts.normal) {
    const auto types = properties_.atoms(window, "_NET_WM_WINDOW_TYPE");
    facts.normal = types.empty() || types.front() == connection_.atom("_NET_WM_WINDOW_TYPE_NORMAL");
  }
  return *facts.normal;
}

std::vector<X11Window> X11WindowAccess::windowsOf(const Element& application) const {
  auto stacking = properties_.windows(connection_.root(), "_NET_CLIENT_LIST_STACKING");
  // Listed bottom to top; callers take the first as the frontmost.
  std::reverse(stacking.begin(), stacking.end());
  std::vector<X11Window> windows;
  for (const X11Window window : stacking) {
    const bool belongs = application.process ? processOf(window) == application.process
                                             : window == application.window;
    if (belongs && isNormalWindow(window)) {
      windows.push_back(window);
    }
  }
  return windows;
}

std::optional<AXValue> X11WindowAccess::copyAttributeValue(const AXElement& element,
                                                           std::string_view attribute) {
  auto* own = dynamic_cast<Element*>(&element.reference());
  if (own == nullptr) {
    return std::nullopt;
  }
  switch (own->kind) {
  case Element::Kind::systemWide: {
    if (attribute != ax::FocusedApplication) {
      return std::nullopt;
    }
    const auto active = activeWindow();
    if (!active) {
      return std::nullopt;
    }
    const auto process = processOf(*active);
    return AXValue(AXElement(std::make_shared<Element>(Element::Kind::application, process,
                                                       process ? X11Window{0} : *active)));
  }
  case Element::Kind::application:
    return applicationAttribute(*own, attribute);
  case Element::Kind::window:
    return windowAttribute(*own, attribute);
  }
  return std::nullopt;
}

std::optional<AXValue> X11WindowAccess::applicationAttribute(const Element& application,
                                                             std::string_view attribute) {
  if (attribute == ax::FocusedWindow) {
    const auto active = activeWindow();
    if (!active) {
      return std::nullopt;
    }
    const bool belongs = application.process ? processOf(*active) == application.process
                                             : *active == application.window;
    if (!belongs || !isNormalWindow(*active)) {
      return std::nullopt;
    }
    return AXValue(windowElement(*active));
  }
  if (attribute == ax::Windows) {
    std::vector<AXElement> elements;
    for (const X11Window window : windowsOf(application)) {
      elements.push_back(windowElement(window));
    }
    return AXValue(std::move(elements));
  }
  return std::nullopt;
}

long X11WindowAccess::borderWidth(X11Window window) const {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(connection_.display(), window, &attributes) == 0) {
    return 0;
  }
  return attributes.border_width;
}

std::optional<X11PixelRect> X11WindowAccess::visibleFrame(X11Window window) const {
  Display* display = connection_.display();
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
    return std::nullopt;
  }
  int rootX = 0;
  int rootY = 0;
  Window child = 0;
  if (XTranslateCoordinates(display, window, root, 0, 0, &rootX, &rootY, &child) == 0) {
    return std::nullopt;
  }
  const Extents decorations = extentsFrom(properties_.cardinals(window, "_NET_FRAME_EXTENTS"));
  const Extents shadow = extentsFrom(properties_.cardinals(window, "_GTK_FRAME_EXTENTS"));
  // Coordinates name the inside of the window's own border, which the
  // window manager may leave in place within its frame.
  const long edge = border;
  return X11PixelRect{rootX - edge - decorations.left + shadow.left,
                      rootY - edge - decorations.top + shadow.top,
                      static_cast<long>(width) + 2 * edge + decorations.left + decorations.right -
                          shadow.left - shadow.right,
                      static_cast<long>(height) + 2 * edge + decorations.top + decorations.bottom -
                          shadow.top - shadow.bottom};
}

std::optional<AXValue> X11WindowAccess::windowAttribute(Element& window,
                                                        std::string_view attribute) {
  const bool position = attribute == ax::Position;
  if (!position && attribute != ax::Size) {
    return std::nullopt;
  }
  // Frames are read position first, then size: one read serves both.
  std::optional<X11PixelRect> frame;
  if (!position && window.pairedRead) {
    frame = window.pairedRead;
  } else {
    frame = knownFrame(window.window);
  }
  window.pairedRead = position ? frame : std::nullopt;
  if (!frame) {
    return std::nullopt;
  }
  if (!position) {
    return AXValue(Size{static_cast<double>(frame->width), static_cast<double>(frame->height)});
  }
  const auto [originX, originY] = screens_.primaryOrigin();
  return AXValue(
      Point{static_cast<double>(frame->x - originX), static_cast<double>(frame->y - originY)});
}

bool X11WindowAccess::setAttributeValue(const AXElement& element, std::string_view attribute,
                                        const AXValue& value) {
  auto* own = dynamic_cast<Element*>(&element.reference());
  if (own == nullptr || own->kind != Element::Kind::window) {
    return false;
  }
  own->pairedRead.reset();
  if (attribute == ax::Position) {
    const auto* origin = std::get_if<Point>(&value);
    if (origin == nullptr) {
      return false;
    }
    own->wantedOrigin = *origin;
  } else if (attribute == ax::Size) {
    const auto* size = std::get_if<Size>(&value);
    if (size == nullptr) {
      return false;
    }
    own->wantedSize = *size;
  } else {
    return false;
  }
  writeFrame(*own);
  return true;
}

bool X11WindowAccess::supportsMoveResize() const {
  if (!supportsMoveResize_) {
    const auto supported = properties_.atoms(connection_.root(), "_NET_SUPPORTED");
    supportsMoveResize_ = std::find(supported.begin(), supported.end(),
                                    connection_.atom("_NET_MOVERESIZE_WINDOW")) != supported.end();
  }
  return *supportsMoveResize_;
}

bool X11WindowAccess::isMaximized(X11Window window) const {
  const auto states = properties_.atoms(window, "_NET_WM_STATE");
  const auto holds = [&states](X11Atom state) {
    return std::find(states.begin(), states.end(), state) != states.end();
  };
  return holds(connection_.atom("_NET_WM_STATE_MAXIMIZED_VERT")) ||
         holds(connection_.atom("_NET_WM_STATE_MAXIMIZED_HORZ")) ||
         holds(connection_.atom("_NET_WM_STATE_FULLSCREEN"));
}

// A maximised window ignores moves, or springs back on the next change of
// the screen: it is made an ordinary window first. Its frame changes with
// that (a maximised window has no side borders), so the move waits, briefly,
// for the window manager to have done it.
void X11WindowAccess::leaveMaximizedState(X11Window window) const {
  if (!isMaximized(window)) {
    return;
  }
  const auto bordersBefore = properties_.cardinals(window, "_NET_FRAME_EXTENTS");
  for (const char* state : {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
                            "_NET_WM_STATE_FULLSCREEN"}) {
    properties_.sendToWindowManager(window, "_NET_WM_STATE",
                                    {StateRemove, static_cast<long>(connection_.atom(state)), 0,
                                     X11WindowProperties::SourcePager});
  }
  const auto deadline = std::chrono::steady_clock::now() + UnmaximizeWait;
  const auto waitWhile = [&deadline](const auto& condition) {
    while (condition() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(UnmaximizePollInterval);
    }
  };
  waitWhile([&] { return isMaximized(window); });
  // The borders may come back a moment after the state goes; a manager
  // that draws the same borders either way costs this wait in full.
  waitWhile([&] { return properties_.cardinals(window, "_NET_FRAME_EXTENTS") == bordersBefore; });
}

void X11WindowAccess::writeFrame(Element& window) {
  // Whatever the window manager makes of it is read afresh.
  forgetFrame(window.window);
  const auto current = visibleFrame(window.window);
  if (!current) {
    if (!window.reportedGone) {
      window.reportedGone = true;
      log_.write("Quillon snap: window " + std::to_string(window.window) +
                 " closed before it was moved");
    }
    return;
  }
  leaveMaximizedState(window.window);
  const auto [originX, originY] = screens_.primaryOrigin();
  const Point origin = window.wantedOrigin.value_or(
      Point{static_cast<double>(current->x - originX), static_cast<double>(current->y - originY)});
  const Size size = window.wantedSize.value_or(
      Size{static_cast<double>(current->width), static_cast<double>(current->height)});
  // Edges, not origin and size, are rounded: two halves of an odd width
  // then meet at one pixel column, with neither gap nor overlap.
  const long left = std::lround(origin.x) + originX;
  const long right = std::lround(origin.x + size.width) + originX;
  const long top = std::lround(origin.y) + originY;
  const long bottom = std::lround(origin.y + size.height) + originY;

  const Extents decorations =
      extentsFrom(properties_.cardinals(window.window, "_NET_FRAME_EXTENTS"));
  const Extents shadow = extentsFrom(properties_.cardinals(window.window, "_GTK_FRAME_EXTENTS"));
  const long edge = borderWidth(window.window);
  // The shadow of a client-side decorated window lies inside the frame.
  const long frameX = left - shadow.left;
  const long frameY = top - shadow.top;
  const long clientWidth = std::max(1L, right - left - 2 * edge - decorations.left -
                                            decorations.right + shadow.left + shadow.right);
  const long clientHeight = std::max(1L, bottom - top - 2 * edge - decorations.top -
                                             decorations.bottom + shadow.top + shadow.bottom);

  if (supportsMoveResize()) {
    properties_.sendToWindowManager(
        window.window, "_NET_MOVERESIZE_WINDOW",
        {FrameCornerGravity | AllGeometryFields | (X11WindowProperties::SourcePager << SourceShift),
         frameX, frameY, clientWidth, clientHeight});
    return;
  }
  // Without the request the window manager (if any) sees an ordinary
  // configure request, which it may adjust for its frame or refuse.
  XMoveResizeWindow(connection_.display(), window.window,
                    static_cast<int>(frameX + decorations.left),
                    static_cast<int>(frameY + decorations.top), static_cast<unsigned>(clientWidth),
                    static_cast<unsigned>(clientHeight));
  connection_.flush();
}

std::optional<std::uint32_t> X11WindowAccess::windowNumber(const AXElement& window) {
  const auto* own = dynamic_cast<const Element*>(&window.reference());
  if (own == nullptr || own->kind != Element::Kind::window) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(own->window);
}

Observation X11WindowAccess::observe(int processIdentifier, std::string_view notification,
                                     std::function<void(const AXElement& element)> callback) {
  if (notification != ax::WindowCreated) {
    return Observation();
  }
  auto watch = std::make_shared<Watch>(Watch{processIdentifier, std::move(callback)});
  return observeAsListEntry(watches_, std::move(watch));
}

} // namespace quillon
