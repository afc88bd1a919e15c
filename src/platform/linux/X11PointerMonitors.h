#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Log.h"
#include "platform/Observation.h"
#include "platform/linux/X11Connection.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace quillon {

// Pointer moves and left-button presses anywhere on the display, seen and
// never changed: XInput 2 raw events on the root, which arrive even while
// another client holds a grab. Each event carries the pointer's place and
// the modifiers held, so Super (⌘) with a move reads as ⌘-hover. Its own
// connection keeps these frequent events off the product's main one; it is
// open only while a monitor is.
class X11PointerMonitors {
public:
  // A press this close in time and place to the one before counts on.
  static constexpr double ClickSlop = 5;

  // The connection's loss handling covers this one's too: whichever hears
  // first that the server went away ends the product in its words.
  X11PointerMonitors(X11Connection& connection, Duration doubleClickInterval, Log& log)
      : connection_(connection), doubleClickInterval_(doubleClickInterval), log_(log) {}
  ~X11PointerMonitors();
  X11PointerMonitors(const X11PointerMonitors&) = delete;
  X11PointerMonitors& operator=(const X11PointerMonitors&) = delete;

  // Mouse-moved, left-mouse-down and left-mouse-up in the mask are heard.
  Observation add(std::uint64_t eventMask, std::function<void(const Event&)> callback);

private:
  class Token;
  bool open();
  void close();
  void dispatchPending();
  void deliver(EventType type, unsigned long time);

  X11Connection& connection_;
  Duration doubleClickInterval_;
  Log& log_;
  Display* display_ = nullptr;
  int xinputOpcode_ = 0;
  unsigned sourceId_ = 0;
  std::uint64_t nextId_ = 0;
  std::map<std::uint64_t, std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The last press, for click counts.
  unsigned long lastPressTime_ = 0;
  double lastPressX_ = 0;
  double lastPressY_ = 0;
  std::int64_t clickCount_ = 0;
};

} // namespace quillon
