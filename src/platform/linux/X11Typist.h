#pragma once

#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"
#include "platform/xkb/XkbLayout.h"

#include <chrono>
#include <memory>
#include <string>

typedef struct _XDisplay Display;

namespace quillon {

// A user at a keyboard of their own: a second master keyboard and pointer
// whose XTest device types what it is told, as physical keys on the US
// layout. The product grabs that keyboard like any other.
class X11Typist {
public:
  // Null when the display cannot be opened or the master cannot be added.
  static std::unique_ptr<X11Typist> open(const std::string& displayName);
  X11Typist(const X11Typist&) = delete;
  X11Typist& operator=(const X11Typist&) = delete;
  ~X11Typist();

  // Each character pressed and released on the key that types it on the
  // US layout, with Shift where needed.
  void type(const std::string& text);
  // One key with modifiers held around it (Shift, Control, Option = Alt,
  // Command = Super).
  void press(KeyCode keyCode, EventFlags modifiers);
  void pressModifier(KeyCode modifier);
  void releaseModifier(KeyCode modifier);
  // Whether the product holds the typist's keyboard now (a grabbed slave
  // floats).
  bool keyboardGrabbed() const;
  // Takes the focus of the typist's own master keyboard off every window.
  // A window manager unaware of a second master follows the focus events of
  // both and loses track of which window is active.
  void leaveFocus();
  // Locks the session's keyboard group, as a layout switcher would.
  void selectGroup(unsigned group);
  // Sends a key press and leaves it down.
  void keyDown(KeyCode keyCode);
  void keyUp(KeyCode keyCode);
  // The pause after each key, as a typist's speed; fast typists with key
  // rollover come down to a few milliseconds.
  void setKeyInterval(std::chrono::milliseconds interval) { keyInterval_ = interval; }

private:
  X11Typist(Display* display, XkbLayout layout);
  void send(KeyCode keyCode, bool down);
  int xtestKeyboard() const;

  Display* display_;
  XkbLayout layout_;
  int master_ = -1;
  std::chrono::milliseconds keyInterval_{15};
};

} // namespace quillon
