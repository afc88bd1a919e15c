// The typist of the README's demo: on a display where Quillon runs, it opens
// a text window, types as a user at a keyboard of their own, and prints what
// the window received.

#include "platform/KeyCodes.h"
#include "platform/linux/X11TextWindow.h"
#include "platform/linux/X11Typist.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kSettle = 1500ms;
constexpr auto kGrabWait = 10s;

bool waitForGrab(const quillon::X11Typist& typist) {
  const auto deadline = std::chrono::steady_clock::now() + kGrabWait;
  while (!typist.keyboardGrabbed()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

void show(const char* what, const quillon::X11TextWindow& window) {
  std::cout << what << " → the window received \"" << window.text() << "\"\n";
}

// The active window's frame as the user sees it: the client area with the
// window manager's decorations around it, in root-window pixels.
std::string activeFrame(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
  if (display == nullptr) {
    return "unknown";
  }
  const auto cardinals = [display](Window window, const char* name, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 16, False, type,
                           &actual, &format, &count, &after, &data) == Success &&
        data != nullptr) {
      const auto* longs = reinterpret_cast<const long*>(data);
      values.assign(longs, longs + (format == 32 ? count : 0));
      XFree(data);
    }
    return values;
  };
  std::string text = "unknown";
  const auto active = cardinals(DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active.empty() && active.front() != 0) {
    const auto window = static_cast<Window>(active.front());
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    Window child = 0;
    if (XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) != 0 &&
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child) != 0) {
      auto extents = cardinals(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
      extents.resize(4, 0);
      text = "(" + std::to_string(x - extents[0]) + ", " + std::to_string(y - extents[2]) + ", " +
             std::to_string(width + extents[0] + extents[1]) + "×" +
             std::to_string(height + extents[2] + extents[3]) + ")";
    }
  }
  XCloseDisplay(display);
  return text;
}

} // namespace

int main(int argc, char** argv) {
  const std::string display = argc > 1 ? argv[1] : "";
  auto typist = quillon::X11Typist::open(display);
  auto window = quillon::X11TextWindow::open(display);
  if (!typist || !window) {
    std::cerr << "x11_demo: cannot open the display\n";
    return 1;
  }
  window->takeFocus();
  if (!waitForGrab(*typist)) {
    std::cerr << "x11_demo: Quillon did not take the keyboard\n";
    return 1;
  }
  std::this_thread::sleep_for(kSettle);

  typist->type("ghbdtn ");
  std::this_thread::sleep_for(kSettle);
  show("typed \"ghbdtn \" on US keys", *window);

  window->clear();
  typist->selectGroup(0);
  typist->press(quillon::keycode::Slash, quillon::flag::Shift);
  typist->press(quillon::keycode::Slash, quillon::flag::Shift);
  std::this_thread::sleep_for(kSettle);
  show("pressed Shift+/ twice", *window);

  window->clear();
  typist->press(quillon::keycode::Shift, 0);
  typist->press(quillon::keycode::Shift, 0);
  std::this_thread::sleep_for(kSettle);
  typist->selectGroup(0);
  typist->type("ghbdtn ");
  std::this_thread::sleep_for(kSettle);
  show("double-tapped Shift (correction off), typed \"ghbdtn \"", *window);

  typist->press(quillon::keycode::LeftArrow, quillon::flag::Control | quillon::flag::Command);
  std::this_thread::sleep_for(kSettle);
  std::cout << "pressed ⌃⌘← → the text window's frame is " << activeFrame(display)
            << " (x, y, width×height in pixels)\n";
  return 0;
}
