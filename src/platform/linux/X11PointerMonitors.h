#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Log.h"
#include "platform/Observation.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

typedef struct _XDisplay Display;

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

  X11PointerMonitors(std::string displayName, Duration doubleClickInterval, Log& log)
      : displayName_(std::move(displayName)), doubleClickInterval_(doubleClickInterval), log_(log) {
  }
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

  std::string displayName_;
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
