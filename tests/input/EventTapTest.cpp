#include "support/TapWorld.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace quillon {
namespace {

class EventTapTest : public ::testing::Test, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  bool keyDownReachedApplication(KeyCode key) {
    for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
      if (event.type == EventType::KeyDown && event.keyCode == key) {
        return true;
      }
    }
    return false;
  }

  std::unique_ptr<EventTap> tap = makeTap();
};

constexpr KeyCode cmd = keycode::Command;
constexpr KeyCode ctrl = keycode::Control;
constexpr KeyCode opt = keycode::Option;
constexpr KeyCode shift = keycode::Shift;
constexpr KeyCode fn = keycode::Function;

struct HotkeyCase {
  std::vector<KeyCode> modifiers;
  KeyCode key;
  std::optional<Action> action;
};

TEST_F(EventTapTest, EveryHotkeyRowAndItsNearMisses) {
  const std::vector<HotkeyCase> cases{
      {{ctrl, cmd}, keycode::S, Action::toggleKeepAwake},
      {{ctrl, cmd, shift}, keycode::S, Action::toggleKeepAwake},
      {{ctrl, cmd, opt}, keycode::S, std::nullopt},
      {{ctrl, cmd}, keycode::R, Action::toggleAudioRecording},
      {{ctrl, cmd, shift}, keycode::R, Action::toggleAudioRecording},
      {{ctrl, cmd}, keycode::V, Action::openScreenVideoOverlay},
      {{ctrl, cmd, shift}, keycode::V, Action::openScreenVideoOverlay},
      {{ctrl, cmd}, keycode::T, Action::togglePinFocusedWindow},
      {{ctrl, cmd, shift}, keycode::T, Action::togglePinFocusedWindow},
      {{ctrl, cmd, opt}, keycode::T, std::nullopt},
      {{ctrl, cmd}, keycode::H, Action::triggerDictation},
      {{ctrl, cmd, shift}, keycode::H, std::nullopt},
      {{ctrl, cmd}, keycode::LeftArrow, Action::snapLeftHalf},
      {{ctrl, cmd, shift}, keycode::LeftArrow, std::nullopt},
      {{ctrl, cmd}, keycode::RightArrow, Action::snapRightHalf},
      {{ctrl, cmd}, keycode::UpArrow, Action::snapMaximize},
      {{ctrl, cmd}, keycode::DownArrow, Action::snapCenter},
      {{ctrl, cmd, opt}, keycode::DownArrow, std::nullopt},
      {{ctrl, cmd}, keycode::Digit1, Action::snapTopLeft},
      {{ctrl, cmd, shift}, keycode::Digit1, std::nullopt},
      {{ctrl, cmd}, keycode::Digit2, Action::snapTopRight},
      {{ctrl, cmd}, keycode::Digit3, Action::snapBottomLeft},
      {{ctrl, cmd}, keycode::Digit4, Action::snapBottomRight},
      {{ctrl, cmd}, keycode::Digit5, std::nullopt},
      {{cmd}, keycode::Backslash, Action::convertSelection},
      {{cmd, shift}, keycode::Backslash, Action::convertSelection},
      {{cmd, opt}, keycode::Backslash, std::nullopt},
      {{cmd, ctrl}, keycode::Backslash, std::nullopt},
      {{}, keycode::Backslash, std::nullopt},
      {{opt, shift}, keycode::S, Action::captureAreaScreenshot},
      {{opt, shift, cmd}, keycode::S, std::nullopt},
      {{opt, shift, ctrl}, keycode::S, std::nullopt},
      {{opt}, keycode::S, std::nullopt},
      {{opt, shift}, keycode::V, Action::showClipboardHistory},
      {{opt, shift}, keycode::H, Action::triggerDictation},
      {{opt, shift}, keycode::R, std::nullopt},
      // Fn never takes part in the conditions.
      // (Fn goes down last: Fn with Control alone would be the dictation chord.)
      {{ctrl, cmd, fn}, keycode::S, Action::toggleKeepAwake},
      {{fn, opt, shift}, keycode::V, Action::showClipboardHistory},
      {{fn, cmd}, keycode::Backslash, Action::convertSelection},
      // Right-hand modifiers count the same.
      {{keycode::RightControl, keycode::RightCommand}, keycode::S, Action::toggleKeepAwake},
  };
  for (std::size_t index = 0; index < ActionCount; ++index) {
    const auto action = static_cast<Action>(index);
    actions.wire(action, [this, action] {
      EXPECT_TRUE(desktop.runLoop().isRunning()) << "an action must wait for the main queue";
      performed.push_back(action);
    });
  }
  for (const HotkeyCase& hotkeyCase : cases) {
    SCOPED_TRACE(::testing::Message() << "key " << hotkeyCase.key << " with "
                                      << hotkeyCase.modifiers.size() << " modifiers");
    performed.clear();
    desktop.textField().takeDeliveredEvents();
    pressChord(hotkeyCase.modifiers, hotkeyCase.key);
    // Long enough for a selection conversion to finish.
    desktop.advance(Duration(0.3));
    if (hotkeyCase.action == Action::convertSelection) {
      // The tap converts by itself, its own layout engine taking part.
      EXPECT_TRUE(performed.empty());
      EXPECT_EQ(desktop.log().takeNewLines().back(),
                "Quillon autoswitch: forceConvert — buffer is empty, nothing to convert");
      EXPECT_FALSE(keyDownReachedApplication(hotkeyCase.key));
    } else if (hotkeyCase.action) {
      EXPECT_EQ(performed, std::vector<Action>{*hotkeyCase.action});
      EXPECT_FALSE(keyDownReachedApplication(hotkeyCase.key)) << "a hotkey is swallowed";
    } else {
      EXPECT_TRUE(performed.empty());
      EXPECT_TRUE(keyDownReachedApplication(hotkeyCase.key));
    }
  }
}

TEST_F(EventTapTest, UnwiredHotkeyIsStillSwallowed) {
  actions.wire(Action::toggleAudioRecording, std::function<void()>{});
  Event event = makeKeyboardEvent(nullptr, keycode::R, true);
  event.setFlags(flag::Command | flag::Control);
  EXPECT_EQ(tap->handle(event), TapVerdict::Swallow);
  desktop.runUntilIdle();
  EXPECT_TRUE(desktop.log().lines().empty());
}

TEST_F(EventTapTest, OwnSyntheticEventsPassUntouched) {
  EventSource marked(SyntheticEventMarker);
  Event keepAwake = makeKeyboardEvent(&marked, keycode::S, true);
  keepAwake.setFlags(flag::Command | flag::Control);
  EXPECT_EQ(tap->handle(keepAwake), TapVerdict::Deliver);

  // A source carrying other user data is the user's, not ours.
  EventSource foreign(SyntheticEventMarker + 1);
  Event other = makeKeyboardEvent(&foreign, keycode::S, true);
  other.setFlags(flag::Command | flag::Control);
  EXPECT_EQ(tap->handle(other), TapVerdict::Swallow);

  desktop.runUntilIdle();
  EXPECT_EQ(performed, std::vector<Action>{Action::toggleKeepAwake});
}

TEST_F(EventTapTest, ModifierChangesMousePressesAndScrollsAreAlwaysDelivered) {
  for (const EventType type :
       {EventType::FlagsChanged, EventType::LeftMouseDown, EventType::ScrollWheel}) {
    Event event(type, flag::Command | flag::Control);
    event.setIntegerField(EventField::KeyboardKeycode, keycode::S);
    EXPECT_EQ(tap->handle(event), TapVerdict::Deliver);
  }
  desktop.runUntilIdle();
  EXPECT_TRUE(performed.empty());
}

TEST_F(EventTapTest, InstallsOneActiveSessionTapAtTheHead) {
  const auto requests = desktop.eventTaps().installedTapRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests.front(), (TapRequest{TapLocation::Session, TapPlacement::HeadInsert,
                                          TapOptions::Default, 0x401402}));
  EXPECT_TRUE(tap->isRunning());
}

TEST_F(EventTapTest, DisabledTapIsReenabledWithoutBeingRecreated) {
  for (const EventType reason :
       {EventType::TapDisabledByTimeout, EventType::TapDisabledByUserInput}) {
    desktop.eventTaps().disableTaps(reason);
    EXPECT_TRUE(tap->isRunning());
  }
  EXPECT_EQ(desktop.eventTaps().installedTapCount(), 1u);
  std::size_t creations = 0;
  for (const auto& entry : desktop.journal().entries()) {
    creations += entry == "create event tap" ? 1 : 0;
  }
  EXPECT_EQ(creations, 1u);

  pressChord({ctrl, cmd}, keycode::T);
  desktop.runUntilIdle();
  EXPECT_EQ(performed, std::vector<Action>{Action::togglePinFocusedWindow});
}

TEST_F(EventTapTest, StartFailsWithoutAccessibilityAndChangesNothing) {
  desktop.accessibility().setTrusted(false);
  const auto refused = makeTap();
  EXPECT_FALSE(refused->start());
  EXPECT_FALSE(refused->isRunning());
  EXPECT_EQ(desktop.eventTaps().installedTapCount(), 1u);
}

TEST_F(EventTapTest, QueuedActionIsDroppedWhenTheTapIsGone) {
  auto shortLived = makeTap();
  Event event = makeKeyboardEvent(nullptr, keycode::S, true);
  event.setFlags(flag::Command | flag::Control);
  EXPECT_EQ(shortLived->handle(event), TapVerdict::Swallow);
  shortLived.reset();
  desktop.runUntilIdle();
  EXPECT_TRUE(performed.empty());
}

} // namespace
} // namespace quillon
