#include "input/EventTap.h"

#include "input/HotkeyTable.h"

namespace quillon {

EventTap::EventTap(EventTaps& eventTaps, MainQueue& mainQueue, Settings& settings,
                   const ActionTable& actions)
    : eventTaps_(eventTaps), mainQueue_(mainQueue), settings_(settings), actions_(actions) {}

bool EventTap::start() {
  const TapRequest request{TapLocation::Session, TapPlacement::HeadInsert, TapOptions::Default,
                           EventMask};
  auto port = eventTaps_.createTap(request, [this](Event& event) { return handle(event); });
  if (!port) {
    return false;
  }
  port->attachToMainLoop();
  port->setEnabled(true);
  port_ = std::move(port);
  return true;
}

TapVerdict EventTap::handle(Event& event) {
  switch (event.type()) {
  case EventType::TapDisabledByTimeout:
  case EventType::TapDisabledByUserInput:
    reenable();
    return TapVerdict::Deliver;
  default:
    break;
  }
  // The product's own synthetic events are never processed a second time.
  if (event.isMarkedSynthetic()) {
    return TapVerdict::Deliver;
  }
  switch (event.type()) {
  case EventType::KeyDown:
    return handleKeyDown(event);
  case EventType::LeftMouseDown:
  case EventType::FlagsChanged:
  case EventType::ScrollWheel:
  default:
    // Mouse presses, modifier changes and scrolls are always delivered.
    return TapVerdict::Deliver;
  }
}

TapVerdict EventTap::handleKeyDown(Event& event) {
  if (performHotkey(event)) {
    return TapVerdict::Swallow;
  }
  return TapVerdict::Deliver;
}

bool EventTap::performHotkey(const Event& event) {
  const auto action = matchHotkey(event.keyCode(), event.flags());
  if (!action) {
    return false;
  }
  // Deferred so the callback returns at once and the system never disables
  // the tap for being slow.
  mainQueue_.async(lifetime_.guard([this, action = *action] { actions_.perform(action); }));
  return true;
}

void EventTap::reenable() {
  if (port_) {
    port_->setEnabled(true);
  }
}

} // namespace quillon
