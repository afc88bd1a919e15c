#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace quillon {

using Window = unsigned long;

// Pixels in the root window: origin top-left, y downwards.
struct ClientRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ClientRect&, const ClientRect&) = default;
};

std::ostream& operator<<(std::ostream& stream, const ClientRect& rect);

// Another application on the test desktop: a connection of its own with
// any number of top-level windows, each naming the process and class the
// test gives it, managed by the window manager like anyone's.
class X11TestClient {
public:
  struct WindowOptions {
    ClientRect rect{100, 100, 400, 300};
    int process = 0;
    std::string className = "QuillonTestClient";
    // The invisible margin a client-side-decorated window draws around
    // itself (left, right, top, bottom); such a window has no frame.
    std::optional<std::vector<long>> clientSideShadow;
    bool fixedSize = false;
    unsigned border = 0;
    // A dock reserving this many pixels at the bottom edge.
    std::optional<long> bottomStrut;
  };

  explicit X11TestClient(const std::string& displayName);
  X11TestClient(const X11TestClient&) = delete;
  X11TestClient& operator=(const X11TestClient&) = delete;
  ~X11TestClient();

  // Mapped, and managed once this returns (false when the manager did not
  // take it within seconds).
  Window open(const WindowOptions& options);
  void close(Window window);
  // Asks the window manager to make it active and waits until it is.
  bool activate(Window window);
  // The client area, borders and decorations excluded.
  ClientRect clientRect(Window window) const;
  // The client's own border, as it is now: a window manager may take it.
  int border(Window window) const;
  // What the window manager draws around it: left, right, top, bottom.
  std::vector<long> frameExtents(Window window) const;
  std::vector<std::string> states(Window window) const;
  // Asks the window manager as a user's drag would end: the frame's
  // top-left corner and the client's size.
  void requestMove(Window window, const ClientRect& frame);
  void requestState(Window window, bool add, const std::string& state);
  // Waits until the client area reads as asked.
  bool waitForClientRect(Window window, const ClientRect& wanted) const;
  Display* display() const { return display_; }

private:
  std::vector<unsigned long> longs(Window window, const char* property, unsigned long type) const;
  void sendToManager(Window window, const char* messageType, const std::vector<long>& data);

  Display* display_;
  std::vector<Window> windows_;
};

} // namespace quillon
