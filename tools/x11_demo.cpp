// The typist of the README's demo: on a display where Quillon runs, it opens
// a text window, types as a user at a keyboard of their own, and prints what
// the window received.

#include "platform/KeyCodes.h"
#include "platform/linux/X11TextWindow.h"
#include "platform/linux/X11Typist.h"

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

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
  return 0;
}
