#pragma once

#include "app/ActionTable.h"
#include "app/Settings.h"
#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/MainQueue.h"

#include <cstdint>
#include <memory>

namespace quillon {

// The product's single system-wide input interceptor. Every key press,
// modifier change, left mouse press and scroll passes through handle(),
// which decides in a fixed order what the event is: a disabled-tap notice,
// the product's own output, a hotkey, or an ordinary event to deliver.
class EventTap {
public:
  // Left mouse down, key down, flags changed and scroll wheel; key-ups and
  // other mouse events are never requested.
  static constexpr std::uint64_t EventMask =
      eventMaskBit(EventType::LeftMouseDown) | eventMaskBit(EventType::KeyDown) |
      eventMaskBit(EventType::FlagsChanged) | eventMaskBit(EventType::ScrollWheel);
  static_assert(EventMask == 0x401402);

  EventTap(EventTaps& eventTaps, MainQueue& mainQueue, Settings& settings,
           const ActionTable& actions);
  EventTap(const EventTap&) = delete;
  EventTap& operator=(const EventTap&) = delete;

  // Installs and enables the tap; false (and nothing changed) when the system
  // refuses, typically for lack of accessibility permission. Called once.
  bool start();
  bool isRunning() const { return port_ && port_->isEnabled(); }

  TapVerdict handle(Event& event);

private:
  TapVerdict handleKeyDown(Event& event);
  bool performHotkey(const Event& event);
  void reenable();

  EventTaps& eventTaps_;
  MainQueue& mainQueue_;
  Settings& settings_;
  const ActionTable& actions_;
  std::unique_ptr<EventTapPort> port_;
  Lifetime lifetime_;
};

} // namespace quillon
