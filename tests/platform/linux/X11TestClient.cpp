#include "X11TestClient.h"

#include "X11Session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <ostream>

namespace quillon {

namespace {

using namespace std::chrono_literals;

constexpr long SourcePager = 2;

} // namespace

std::ostream& operator<<(std::ostream& stream, const ClientRect& rect) {
  return stream << "(" << rect.x << ", " << rect.y << ", " << rect.width << "×" << rect.height
                << ")";
}

X11TestClient::X11TestClient(const std::string& displayName)
    : display_(XOpenDisplay(displayName.c_str())) {}

// Gone from the window manager's list before the next test starts: the
// server hands the next client the same window ids.
X11TestClient::~X11TestClient() {
  if (display_ == nullptr) {
    return;
  }
  for (const Window window : windows_) {
    XDestroyWindow(display_, window);
  }
  XSync(display_, False);
  X11Session::waitUntil([&] {
    const auto clients = longs(DefaultRootWindow(display_), "_NET_CLIENT_LIST", XA_WINDOW);
    return std::none_of(windows_.begin(), windows_.end(), [&](Window window) {
      return std::find(clients.begin(), clients.end(), window) != clients.end();
    });
  });
  XCloseDisplay(display_);
}

std::vector<unsigned long> X11TestClient::longs(Window window, const char* property,
                                                unsigned long type) const {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(display_, window, XInternAtom(display_, property, False), 0, 1024, False,
                         type, &actual, &format, &count, &after, &data) == Success &&
      data != nullptr) {
    if (format == 32) {
      const auto* first = reinterpret_cast<const unsigned long*>(data);
      values.assign(first, first + count);
    }
    XFree(data);
  }
  return values;
}

Window X11TestClient::open(const WindowOptions& options) {
  const Window window =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), options.rect.x, options.rect.y,
                          static_cast<unsigned>(options.rect.width),
                          static_cast<unsigned>(options.rect.height), options.border, 0, 0xffffff);
  std::string instance = options.className;
  XClassHint hint{instance.data(), instance.data()};
  XSetClassHint(display_, window, &hint);
  if (options.process != 0) {
    const long process = options.process;
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&process), 1);
  }
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.x = options.rect.x;
  hints.y = options.rect.y;
  if (options.fixedSize) {
    hints.flags |= PMinSize | PMaxSize;
    hints.min_width = hints.max_width = options.rect.width;
    hints.min_height = hints.max_height = options.rect.height;
  }
  XSetWMNormalHints(display_, window, &hints);
  if (options.clientSideShadow) {
    const auto& shadow = *options.clientSideShadow;
    XChangeProperty(display_, window, XInternAtom(display_, "_GTK_FRAME_EXTENTS", False),
                    XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(shadow.data()),
                    static_cast<int>(shadow.size()));
    // Motif hints: decorations given (flag 2), and none of them.
    const long motif[5] = {2, 0, 0, 0, 0};
    const Atom motifAtom = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display_, window, motifAtom, motifAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
  }
  if (options.bottomStrut) {
    const long dock = static_cast<long>(XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DOCK", False));
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dock), 1);
    const int width = DisplayWidth(display_, DefaultScreen(display_));
    const long strut[12] = {0, 0, 0, *options.bottomStrut, 0, 0, 0, 0, 0, 0, 0, width - 1};
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_STRUT_PARTIAL", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(strut),
                    12);
  }
  windows_.push_back(window);
  const auto listed = [&] {
    const auto clients = longs(DefaultRootWindow(display_), "_NET_CLIENT_LIST", XA_WINDOW);
    return std::find(clients.begin(), clients.end(), window) != clients.end();
  };
  // A window manager just started may announce itself before it takes
  // over mapping: a window mapped in between stays unmanaged until mapped
  // again.
  bool managed = false;
  for (int attempt = 0; attempt < 3 && !managed; ++attempt) {
    XUnmapWindow(display_, window);
    XMapWindow(display_, window);
    XFlush(display_);
    managed = X11Session::waitUntil(listed, 2s);
  }
  return managed ? window : 0;
}

void X11TestClient::close(Window window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
  std::erase(windows_, window);
}

void X11TestClient::sendToManager(Window window, const char* messageType,
                                  const std::vector<long>& data) {
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(display_, messageType, False);
  message.xclient.format = 32;
  std::copy(data.begin(), data.end(), message.xclient.data.l);
  XSendEvent(display_, DefaultRootWindow(display_), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  XFlush(display_);
}

bool X11TestClient::activate(Window window) {
  sendToManager(window, "_NET_ACTIVE_WINDOW", {SourcePager, CurrentTime, 0});
  return X11Session::waitUntil([&] {
    const auto active = longs(DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return !active.empty() && active.front() == window;
  });
}

ClientRect X11TestClient::clientRect(Window window) const {
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(display_, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
    return {};
  }
  Window child = 0;
  XTranslateCoordinates(display_, window, root, 0, 0, &x, &y, &child);
  return {x, y, static_cast<int>(width), static_cast<int>(height)};
}

int X11TestClient::border(Window window) const {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display_, window, &attributes) == 0) {
    return 0;
  }
  return attributes.border_width;
}

std::vector<long> X11TestClient::frameExtents(Window window) const {
  const auto values = longs(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
  if (values.size() < 4) {
    return {0, 0, 0, 0};
  }
  return {static_cast<long>(values[0]), static_cast<long>(values[1]), static_cast<long>(values[2]),
          static_cast<long>(values[3])};
}

std::vector<std::string> X11TestClient::states(Window window) const {
  std::vector<std::string> names;
  for (const unsigned long atom : longs(window, "_NET_WM_STATE", XA_ATOM)) {
    char* name = XGetAtomName(display_, atom);
    if (name != nullptr) {
      names.emplace_back(name);
      XFree(name);
    }
  }
  return names;
}

void X11TestClient::requestMove(Window window, const ClientRect& frame) {
  // North-west gravity: the frame's corner; all four fields; from a pager.
  constexpr long northWestGravity = 1;
  constexpr long allFields = 0xF << 8;
  sendToManager(window, "_NET_MOVERESIZE_WINDOW",
                {northWestGravity | allFields | (SourcePager << 12), frame.x, frame.y, frame.width,
                 frame.height});
}

void X11TestClient::requestState(Window window, bool add, const std::string& state) {
  sendToManager(window, "_NET_WM_STATE",
                {add ? 1L : 0L, static_cast<long>(XInternAtom(display_, state.c_str(), False)), 0,
                 SourcePager});
}

bool X11TestClient::waitForClientRect(Window window, const ClientRect& wanted) const {
  return X11Session::waitUntil([&] { return clientRect(window) == wanted; }, 3s);
}

} // namespace quillon
