#pragma once

#include "platform/Log.h"
#include "platform/Observation.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Xlib's own declarations, so that headers which name its types need not
// include Xlib, whose macros (None, Success, …) collide with the product's
// names.
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;
struct _GSource;

namespace quillon {

using X11Window = unsigned long;
using X11Atom = unsigned long;

// The product's connection to the X server, read on GLib's default main
// context. Every X service of the backend shares it and listens to the events
// it cares about; a generic (XInput2) event arrives with its data fetched.
class X11Connection {
public:
  using Listener = std::function<void(XEvent& event)>;
  // Called once when the server goes away; it must not return.
  using LostHandler = std::function<void()>;

  // Null, with the reason in `error`, when no display can be opened or the
  // server lacks XInput 2.2, XTest or XKB.
  static std::unique_ptr<X11Connection> open(const std::string& displayName, std::string& error);

  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;
  ~X11Connection();

  Display* display() const { return display_; }
  X11Window root() const;
  int screenHeight() const;
  int xinputOpcode() const { return xinputOpcode_; }
  int xkbEventBase() const { return xkbEventBase_; }
  X11Atom atom(const char* name) const;

  void setLostHandler(LostHandler handler) { lostHandler_ = std::move(handler); }
  // Another connection of this process to the same server (a toolkit's),
  // whose loss ends the product the same way.
  void reportLossOf(Display* other);
  // Starts reading events on the default main context.
  void attachToMainLoop();
  // Listeners hear every event, in the order they were added.
  Observation listen(Listener listener);
  // Reads and dispatches whatever the server has sent; the main loop does
  // this by itself, callers waiting for a reply in a loop of their own may too.
  void dispatchPending();
  void flush() const;

  // What the X I/O error exit handler calls.
  [[noreturn]] void connectionLost();

private:
  struct Source;
  class ListenerToken;

  X11Connection(Display* display, int xinputOpcode, int xkbEventBase);
  void dispatch(XEvent& event);
  static int prepareSource(::_GSource* source, int* timeout);
  static int checkSource(::_GSource* source);
  static int dispatchSource(::_GSource* source, int (*)(void*), void*);

  Display* display_;
  int xinputOpcode_;
  int xkbEventBase_;
  LostHandler lostHandler_;
  std::vector<std::shared_ptr<Listener>> listeners_;
  Source* source_ = nullptr;
};

} // namespace quillon
