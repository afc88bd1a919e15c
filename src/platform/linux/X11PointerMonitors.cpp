#include "platform/linux/X11PointerMonitors.h"

#include "platform/EventFlags.h"
#include "platform/linux/X11PointerState.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <glib-unix.h>
#include <vector>

namespace quillon {

namespace {

constexpr int leftButton = 1;

} // namespace

class X11PointerMonitors::Token final : public Observation::Token {
public:
  Token(X11PointerMonitors& monitors, std::uint64_t id, std::weak_ptr<bool> alive)
      : monitors_(monitors), id_(id), alive_(std::move(alive)) {}
  void cancel() override {
    if (alive_.expired()) {
      return;
    }
    monitors_.monitors_.erase(id_);
    if (monitors_.monitors_.empty()) {
      monitors_.close();
    }
  }

private:
  X11PointerMonitors& monitors_;
  std::uint64_t id_;
  std::weak_ptr<bool> alive_;
};

X11PointerMonitors::~X11PointerMonitors() {
  alive_.reset();
  close();
}

Observation X11PointerMonitors::add(std::uint64_t eventMask,
                                    std::function<void(const Event&)> callback) {
  constexpr std::uint64_t heard = eventMaskBit(EventType::MouseMoved) |
                                  eventMaskBit(EventType::LeftMouseDown) |
                                  eventMaskBit(EventType::LeftMouseUp);
  if ((eventMask & heard) == 0 || (display_ == nullptr && !open())) {
    return Observation();
  }
  const std::uint64_t id = nextId_++;
  monitors_.emplace(id, std::make_pair(eventMask, std::move(callback)));
  return Observation(std::make_unique<Token>(*this, id, alive_));
}

bool X11PointerMonitors::open() {
  display_ = XOpenDisplay(DisplayString(connection_.display()));
  if (display_ == nullptr) {
    log_.write("Quillon: the pointer cannot be followed (no X display)");
    return false;
  }
  connection_.reportLossOf(display_);
  int event = 0;
  int error = 0;
  int major = 2;
  int minor = 0;
  if (!XQueryExtension(display_, "XInputExtension", &xinputOpcode_, &event, &error) ||
      XIQueryVersion(display_, &major, &minor) != Success) {
    log_.write("Quillon: the pointer cannot be followed (no XInput 2)");
    close();
    return false;
  }
  std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
  XISetMask(bits.data(), XI_RawMotion);
  XISetMask(bits.data(), XI_RawButtonPress);
  XISetMask(bits.data(), XI_RawButtonRelease);
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
  XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
  XFlush(display_);
  sourceId_ = g_unix_fd_add(
      ConnectionNumber(display_), G_IO_IN,
      [](gint, GIOCondition, gpointer self) -> gboolean {
        static_cast<X11PointerMonitors*>(self)->dispatchPending();
        return G_SOURCE_CONTINUE;
      },
      this);
  return true;
}

void X11PointerMonitors::close() {
  if (sourceId_ != 0) {
    g_source_remove(sourceId_);
    sourceId_ = 0;
  }
  if (display_ != nullptr) {
    XCloseDisplay(display_);
    display_ = nullptr;
  }
}

void X11PointerMonitors::dispatchPending() {
  // Only the last move of a burst matters: the pointer is read as it is now.
  bool moved = false;
  unsigned long moveTime = 0;
  std::vector<std::pair<EventType, unsigned long>> buttons;
  while (display_ != nullptr && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type != GenericEvent || event.xcookie.extension != xinputOpcode_ ||
        !XGetEventData(display_, &event.xcookie)) {
      continue;
    }
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    if (event.xcookie.evtype == XI_RawMotion) {
      moved = true;
      moveTime = raw->time;
    } else if (raw->detail == leftButton) {
      buttons.emplace_back(event.xcookie.evtype == XI_RawButtonPress ? EventType::LeftMouseDown
                                                                     : EventType::LeftMouseUp,
                           raw->time);
    }
    XFreeEventData(display_, &event.xcookie);
  }
  if (moved) {
    deliver(EventType::MouseMoved, moveTime);
  }
  for (const auto& [type, time] : buttons) {
    deliver(type, time);
  }
}

void X11PointerMonitors::deliver(EventType type, unsigned long time) {
  if (display_ == nullptr) {
    return;
  }
  const auto pointer = X11PointerState::query(display_, DefaultRootWindow(display_));
  if (!pointer) {
    return;
  }
  const int rootX = pointer->rootX;
  const int rootY = pointer->rootY;
  Event event(type, pointer->modifiers);
  const double height = DisplayHeight(display_, DefaultScreen(display_));
  // The product counts from the bottom-left, y upwards.
  event.setLocation({static_cast<double>(rootX), height - rootY});
  if (type == EventType::LeftMouseDown) {
    const double interval = static_cast<double>(time - lastPressTime_) / 1000.0;
    const bool near = std::hypot(rootX - lastPressX_, rootY - lastPressY_) <= ClickSlop;
    clickCount_ =
        clickCount_ > 0 && near && interval <= doubleClickInterval_.count() ? clickCount_ + 1 : 1;
    lastPressTime_ = time;
    lastPressX_ = rootX;
    lastPressY_ = rootY;
  }
  if (type != EventType::MouseMoved) {
    event.setIntegerField(EventField::MouseEventClickState, std::max<std::int64_t>(clickCount_, 1));
  }
  // A monitor may end itself, or others, from its callback.
  std::vector<std::uint64_t> ids;
  for (const auto& [id, monitor] : monitors_) {
    if ((monitor.first & eventMaskBit(type)) != 0) {
      ids.push_back(id);
    }
  }
  const std::weak_ptr<bool> alive = alive_;
  for (const std::uint64_t id : ids) {
    if (alive.expired()) {
      return;
    }
    const auto found = monitors_.find(id);
    if (found != monitors_.end()) {
      const auto callback = found->second.second;
      callback(event);
    }
  }
}

} // namespace quillon
