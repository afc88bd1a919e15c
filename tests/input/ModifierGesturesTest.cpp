#include "input/ModifierTapDetector.h"
#include "input/ShiftTapDetector.h"
#include "platform/sim/VirtualClock.h"
#include "support/TapWorld.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr KeyCode cmd = keycode::Command;
constexpr KeyCode shift = keycode::Shift;
constexpr KeyCode ctrl = keycode::Control;
constexpr KeyCode opt = keycode::Option;
constexpr KeyCode fn = keycode::Function;

class ModifierGesturesTest : public ::testing::Test, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  std::string source() {
    return desktop.inputSources().currentKeyboardSourceIdentifier().value_or("none");
  }
  SimKeyboard& keyboard() { return desktop.keyboard(); }

  std::unique_ptr<EventTap> tap = makeTap();
};

TEST_F(ModifierGesturesTest, LoneCommandShiftTapSwitchesTheSource) {
  keyboard().keyDown(cmd);
  keyboard().keyDown(shift);
  keyboard().keyUp(shift);
  keyboard().keyUp(cmd);
  EXPECT_EQ(source(), "com.apple.keylayout.Russian");
  EXPECT_EQ(
      desktop.log().lines(),
      std::vector<std::string>{"Quillon: Cmd+Shift tap detected, languageSwitchEnabled=true"});
}

TEST_F(ModifierGesturesTest, ChordsWithAKeyOrAnotherModifierAreNoTap) {
  keyboard().keyDown(cmd);
  keyboard().keyDown(shift);
  keyboard().tap(keycode::T);
  keyboard().keyUp(shift);
  keyboard().keyUp(cmd);
  pressChord({cmd, opt, shift}, std::nullopt);
  pressChord({fn, cmd, shift}, std::nullopt);
  EXPECT_EQ(source(), "com.apple.keylayout.US");
  EXPECT_TRUE(desktop.log().lines().empty());
}

TEST_F(ModifierGesturesTest, EveryCleanTapSwitchesAndTheSettingIsReadEachTime) {
  pressChord({cmd, shift}, std::nullopt);
  desktop.advance(Duration(0.3));
  pressChord({shift, cmd}, std::nullopt);
  desktop.advance(Duration(0.2));
  pressChord({cmd, shift}, std::nullopt);
  EXPECT_EQ(source(), "com.apple.keylayout.Russian");

  settings.set(false, Settings::Key::languageSwitchEnabled);
  desktop.log().takeNewLines();
  pressChord({cmd, shift}, std::nullopt);
  EXPECT_EQ(source(), "com.apple.keylayout.Russian");
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      std::vector<std::string>{"Quillon: Cmd+Shift tap detected, languageSwitchEnabled=false"});
}

TEST_F(ModifierGesturesTest, ShiftDoubleTapTogglesAutoSwitchWithSoundAndMessage) {
  pressChord({shift}, std::nullopt);
  desktop.advance(Duration(0.3));
  bool changedFromTheMainQueue = false;
  const auto observation = notifications.observe(Settings::ChangedNotification, [&] {
    changedFromTheMainQueue = desktop.runLoop().isRunning();
  });
  pressChord({shift}, std::nullopt);
  EXPECT_FALSE(settings.autoSwitchLayoutEnabled());
  EXPECT_TRUE(changedFromTheMainQueue) << "the toggle waits for the main queue";
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>{"Bottle"});
  EXPECT_EQ(desktop.userInterface().takeHudMessages(), std::vector<std::string>{"Auto-switch OFF"});
  EXPECT_EQ(desktop.log().lines(),
            std::vector<std::string>{"Quillon: Shift double-tap → toggle auto-switch"});

  desktop.advance(Duration(1));
  pressChord({shift}, std::nullopt);
  desktop.advance(Duration(0.2));
  pressChord({shift}, std::nullopt);
  desktop.runUntilIdle();
  EXPECT_TRUE(settings.autoSwitchLayoutEnabled());
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>{"Tink"});
  EXPECT_EQ(desktop.userInterface().takeHudMessages(), std::vector<std::string>{"Auto-switch ON"});
}

TEST_F(ModifierGesturesTest, ShiftTapsTooFarApartOrContaminatedDoNotPair) {
  pressChord({shift}, std::nullopt);
  desktop.advance(Duration(0.5));
  pressChord({shift}, std::nullopt);
  desktop.advance(Duration(1));
  // Shift while Command is held: the language tap never toggles auto-switch.
  pressChord({cmd, shift}, std::nullopt);
  desktop.advance(Duration(0.1));
  pressChord({cmd, shift}, std::nullopt);
  desktop.runUntilIdle();
  EXPECT_TRUE(settings.autoSwitchLayoutEnabled());
}

TEST_F(ModifierGesturesTest, CapitalLetterBetweenCleanShiftTapsDoesNotBreakThePair) {
  pressChord({shift}, std::nullopt);
  desktop.advance(Duration(0.1));
  pressChord({shift}, keycode::A);
  desktop.advance(Duration(0.1));
  pressChord({shift}, std::nullopt);
  desktop.runUntilIdle();
  EXPECT_FALSE(settings.autoSwitchLayoutEnabled());
  EXPECT_EQ(desktop.textField().text(), "A");
}

TEST_F(ModifierGesturesTest, FnControlFiresOncePerChord) {
  keyboard().keyDown(fn);
  keyboard().keyDown(ctrl);
  desktop.runUntilIdle();
  EXPECT_EQ(performed, std::vector<Action>{Action::triggerDictation});
  // Adding Shift clears the latch; taking it away fires again.
  keyboard().keyDown(shift);
  keyboard().keyUp(shift);
  // Releasing Control and pressing it again, Fn still held, fires again.
  keyboard().keyUp(ctrl);
  keyboard().keyDown(ctrl);
  keyboard().keyUp(ctrl);
  keyboard().keyUp(fn);
  desktop.runUntilIdle();
  EXPECT_EQ(performed, std::vector<Action>(3, Action::triggerDictation));
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>(3, "Glass"));
  EXPECT_EQ(desktop.log().lines().front(), "Quillon fnDetector: Fn+Control combo → dictation");
  EXPECT_EQ(desktop.log().lines().at(1), "Quillon: Fn+Ctrl → dictation");
  EXPECT_EQ(desktop.log().lines().size(), 6u);
}

// Timing edges, where an off-by-one comparison would hide.
TEST(TapDetectorTimingTest, DoubleTapWindowsAreExclusive) {
  VirtualClock clock;
  constexpr EventFlags commandShift = flag::Command | flag::Shift;
  for (const auto& [gap, expectDouble] :
       std::vector<std::pair<double, bool>>{{0.399, true}, {0.4, false}, {0.45, false}}) {
    ModifierTapDetector detector(clock);
    int taps = 0;
    int doubles = 0;
    for (int round = 0; round < 2; ++round) {
      detector.flagsChanged(
          commandShift, [&] { ++taps; }, [&] { ++doubles; });
      detector.flagsChanged(
          0, [&] { ++taps; }, [&] { ++doubles; });
      clock.sleep(Duration(gap));
    }
    EXPECT_EQ(taps, 2) << gap;
    EXPECT_EQ(doubles, expectDouble ? 1 : 0) << gap;
  }
  for (const auto& [gap, expectDouble] :
       std::vector<std::pair<double, bool>>{{0.449, true}, {0.45, false}, {0.5, false}}) {
    ShiftTapDetector detector(clock);
    int doubles = 0;
    for (int round = 0; round < 2; ++round) {
      detector.flagsChanged(flag::Shift, [&] { ++doubles; });
      detector.flagsChanged(0, [&] { ++doubles; });
      clock.sleep(Duration(gap));
    }
    EXPECT_EQ(doubles, expectDouble ? 1 : 0) << gap;
  }
}

TEST(TapDetectorTimingTest, ThirdQuickTapStartsANewPair) {
  VirtualClock clock;
  ModifierTapDetector detector(clock);
  int doubles = 0;
  for (int round = 0; round < 3; ++round) {
    detector.flagsChanged(
        flag::Command | flag::Shift, [] {}, [&] { ++doubles; });
    detector.flagsChanged(
        0, [] {}, [&] { ++doubles; });
    clock.sleep(Duration(0.1));
  }
  EXPECT_EQ(doubles, 1);
}

} // namespace
} // namespace quillon
