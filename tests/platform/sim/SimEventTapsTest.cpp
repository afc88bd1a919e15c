#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillon {
namespace {

std::unique_ptr<EventTapPort> installTap(SimDesktop& desktop, TapCallback callback) {
  TapRequest request;
  request.eventMask = eventMaskBit(EventType::KeyDown) | eventMaskBit(EventType::KeyUp) |
                      eventMaskBit(EventType::FlagsChanged);
  auto port = desktop.eventTaps().createTap(request, std::move(callback));
  port->attachToMainLoop();
  port->setEnabled(true);
  return port;
}

std::vector<std::pair<EventType, KeyCode>> delivered(SimDesktop& desktop) {
  std::vector<std::pair<EventType, KeyCode>> events;
  for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
    events.emplace_back(event.type, event.keyCode);
  }
  return events;
}

// As on a real desktop, work the tap callback hands to the main queue runs as
// soon as the callback returns, while the user still holds the modifiers.
TEST(SimEventTapsTest, MainQueueWorkRunsAfterEachHardwareEvent) {
  SimDesktop desktop;
  const auto port = installTap(desktop, [&desktop](Event& event) {
    if (event.type() == EventType::KeyDown && event.keyCode() == keycode::A) {
      desktop.runLoop().async([&desktop] {
        Event posted = makeKeyboardEvent(nullptr, keycode::B, true);
        posted.setFlags(0);
        desktop.eventTaps().post(posted, TapLocation::Hid);
        // A key the task presses itself starts no second run of the queue
        // inside this one.
        desktop.runLoop().async([&desktop] { desktop.keyboard().tap(keycode::D); });
        desktop.keyboard().tap(keycode::C);
      });
    }
    return TapVerdict::Deliver;
  });
  desktop.keyboard().keyDown(keycode::Shift);
  desktop.keyboard().tap(keycode::A);
  desktop.keyboard().keyUp(keycode::Shift);
  using enum EventType;
  EXPECT_EQ(delivered(desktop), (std::vector<std::pair<EventType, KeyCode>>{
                                    {FlagsChanged, keycode::Shift},
                                    {KeyDown, keycode::A},
                                    {KeyDown, keycode::B},
                                    {KeyDown, keycode::C},
                                    {KeyUp, keycode::C},
                                    {KeyDown, keycode::D},
                                    {KeyUp, keycode::D},
                                    {KeyUp, keycode::A},
                                    {FlagsChanged, keycode::Shift},
                                }));
  EXPECT_EQ(desktop.runLoop().pendingCount(), 0u);
}

// Work that falls due later waits for time to pass, as it would on a real
// main queue.
TEST(SimEventTapsTest, OnlyWorkAlreadyDueRunsBetweenEvents) {
  SimDesktop desktop;
  int ran = 0;
  const auto port = installTap(desktop, [&](Event& event) {
    if (event.type() == EventType::KeyDown) {
      desktop.runLoop().asyncAfter(Duration(0.002), [&ran] { ++ran; });
    }
    return TapVerdict::Deliver;
  });
  desktop.keyboard().tap(keycode::A);
  EXPECT_EQ(ran, 0);
  desktop.advance(Duration(0.002));
  EXPECT_EQ(ran, 1);
}

} // namespace
} // namespace quillon
