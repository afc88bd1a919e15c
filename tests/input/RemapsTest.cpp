#include "input/CommandRemap.h"
#include "input/WheelInversion.h"
#include "support/TapWorld.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillon {
namespace {

constexpr KeyCode cmd = keycode::Command;
constexpr KeyCode shift = keycode::Shift;
constexpr KeyCode ctrl = keycode::Control;
constexpr KeyCode fn = keycode::Function;

class RemapsTest : public ::testing::Test, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  void typeShiftedSlash() {
    pressChord({shift}, keycode::Slash);
    desktop.runUntilIdle();
  }

  // The flags the application saw on the key-down of this key.
  std::optional<EventFlags> deliveredFlags(KeyCode key) {
    std::optional<EventFlags> flags;
    for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
      if (event.type == EventType::KeyDown && event.keyCode == key) {
        flags = event.flags;
      }
    }
    return flags;
  }

  std::unique_ptr<EventTap> tap = makeTap();
};

TEST_F(RemapsTest, ShiftedSlashTwiceQuicklyBecomesAComma) {
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), "?");
  desktop.advance(Duration(0.3));
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), ",");
  // A third quick press starts a new pair.
  desktop.advance(Duration(0.1));
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), ",?");
}

TEST_F(RemapsTest, SlowOrBrokenPairsStayAsTyped) {
  typeShiftedSlash();
  desktop.advance(Duration(0.5));
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), "??");

  desktop.textField().clear();
  desktop.advance(Duration(1));
  typeShiftedSlash();
  desktop.keyboard().tap(keycode::Slash);
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), "?/?");

  desktop.textField().clear();
  desktop.advance(Duration(1));
  pressChord({shift, ctrl}, keycode::Slash);
  pressChord({shift, ctrl}, keycode::Slash);
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.textField().text(), "");
}

TEST_F(RemapsTest, OtherPunctuationPairsAndTheSwitch) {
  for (const KeyCode key : {keycode::Comma, keycode::Comma, keycode::Period, keycode::Period}) {
    pressChord({shift}, key);
    desktop.runUntilIdle();
  }
  EXPECT_EQ(desktop.textField().text(), ",.");

  settings.set(false, Settings::Key::punctuationRemapsEnabled);
  desktop.textField().clear();
  typeShiftedSlash();
  typeShiftedSlash();
  EXPECT_EQ(desktop.textField().text(), "??");
}

TEST_F(RemapsTest, ReplacementIsMarkedSoItNeverPairsAgain) {
  typeShiftedSlash();
  desktop.textField().takeDeliveredEvents();
  typeShiftedSlash();
  const auto events = desktop.textField().takeDeliveredEvents();
  std::vector<std::pair<KeyCode, bool>> keyDowns;
  for (const DeliveredEvent& event : events) {
    if (event.type == EventType::KeyDown) {
      keyDowns.emplace_back(event.keyCode, event.marked);
      EXPECT_EQ(event.flags, 0u);
    }
  }
  EXPECT_EQ(keyDowns, (std::vector<std::pair<KeyCode, bool>>{{keycode::Delete, true}, {0, true}}));
}

TEST_F(RemapsTest, ControlOrFnWithEditingLettersActAsCommand) {
  struct Case {
    std::vector<KeyCode> modifiers;
    KeyCode key;
    EventFlags expected;
  };
  const std::vector<Case> cases{
      {{ctrl}, keycode::C, flag::Command},
      {{ctrl, shift}, keycode::Z, flag::Command | flag::Shift},
      {{ctrl, cmd}, keycode::C, flag::Control | flag::Command},
      {{ctrl}, keycode::A, flag::Control},
      {{fn}, keycode::V, flag::Command},
      {{fn, ctrl}, keycode::V, flag::Fn | flag::Command},
      {{fn, cmd}, keycode::V, flag::Fn | flag::Command},
      {{ctrl}, keycode::Q, flag::Command},
      {{ctrl}, keycode::N, flag::Command},
      {{ctrl}, keycode::I, flag::Command},
      {{ctrl}, keycode::U, flag::Command},
      {{ctrl}, keycode::B, flag::Command},
      {{ctrl}, keycode::X, flag::Command},
      {{ctrl}, keycode::M, flag::Control},
  };
  for (const Case& remapCase : cases) {
    pressChord(remapCase.modifiers, remapCase.key);
    EXPECT_EQ(deliveredFlags(remapCase.key), remapCase.expected) << "key " << remapCase.key;
  }
  settings.set(false, Settings::Key::copyKeysEnabled);
  pressChord({ctrl}, keycode::C);
  EXPECT_EQ(deliveredFlags(keycode::C), flag::Control);
}

TEST_F(RemapsTest, ControlCCopiesInTheFocusedApplication) {
  desktop.textField().setText("copied");
  desktop.textField().selectAll();
  pressChord({ctrl}, keycode::C);
  EXPECT_EQ(desktop.pasteboard().string(), "copied");
}

TEST_F(RemapsTest, OnlyDiscreteWheelScrollsAreInverted) {
  settings.set(true, Settings::Key::invertMouseWheelEnabled);
  desktop.mouse().scroll(3, -2, false);
  desktop.mouse().scroll(3, -2, true);
  settings.set(false, Settings::Key::invertMouseWheelEnabled);
  desktop.mouse().scroll(3, -2, false);
  std::vector<ScrollDeltas> scrolls;
  for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
    if (event.scroll) {
      scrolls.push_back(*event.scroll);
    }
  }
  ASSERT_EQ(scrolls.size(), 3u);
  EXPECT_EQ(scrolls[0].axis1, -3);
  EXPECT_EQ(scrolls[0].axis2, 2);
  EXPECT_EQ(scrolls[0].fixedPtAxis1, -3.0);
  EXPECT_EQ(scrolls[0].fixedPtAxis2, 2.0);
  EXPECT_EQ(scrolls[0].pointAxis1, -30.0);
  EXPECT_EQ(scrolls[0].pointAxis2, 20.0);
  for (const ScrollDeltas& untouched : {scrolls[1], scrolls[2]}) {
    EXPECT_EQ(untouched.axis1, 3);
    EXPECT_EQ(untouched.pointAxis2, -20.0);
  }
}

TEST(WheelInversionTest, ExtremeDeltasSaturateAndAxisThreeIsLeftAlone) {
  Event event(EventType::ScrollWheel);
  event.setIntegerField(EventField::ScrollWheelDeltaAxis1,
                        std::numeric_limits<std::int64_t>::min());
  event.setIntegerField(EventField::ScrollWheelDeltaAxis2,
                        std::numeric_limits<std::int64_t>::max());
  event.setIntegerField(EventField::ScrollWheelDeltaAxis3, 5);
  event.setDoubleField(EventField::ScrollWheelPointDeltaAxis3, 5.0);
  EXPECT_TRUE(WheelInversion::invert(event));
  EXPECT_EQ(event.integerField(EventField::ScrollWheelDeltaAxis1),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(event.integerField(EventField::ScrollWheelDeltaAxis2),
            -std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(event.integerField(EventField::ScrollWheelDeltaAxis3), 5);
  EXPECT_EQ(event.doubleField(EventField::ScrollWheelPointDeltaAxis3), 5.0);
}

class OneCDoubleClickTest : public RemapsTest {
protected:
  void SetUp() override {
    RemapsTest::SetUp();
    settings.set(true, Settings::Key::oneCDoubleClickToF2Enabled);
    desktop.bringToFront("com.1c.v8.apps.1cv8c");
    desktop.textField().takeDeliveredEvents();
  }

  // The Control+Return key-downs the application received.
  int controlReturns() {
    int count = 0;
    for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
      if (event.type == EventType::KeyDown && event.keyCode == keycode::Return) {
        EXPECT_EQ(event.flags, flag::Control);
        EXPECT_TRUE(event.marked);
        ++count;
      }
    }
    return count;
  }
};

TEST_F(OneCDoubleClickTest, DoubleClickIsFollowedByTwoControlReturns) {
  desktop.mouse().click({100, 100});
  desktop.advance(Duration(0.1));
  desktop.mouse().click({103, 104});
  EXPECT_EQ(desktop.log().lines(),
            std::vector<std::string>{"Quillon: 1С double-click detected → sending Ctrl+Enter"});
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>{"Pop"});
  desktop.advance(Duration(0.199));
  EXPECT_EQ(controlReturns(), 0);
  desktop.advance(Duration(0.001));
  EXPECT_EQ(controlReturns(), 1);
  desktop.advance(Duration(0.05));
  EXPECT_EQ(controlReturns(), 1);
  desktop.advance(Duration(1));
  EXPECT_EQ(controlReturns(), 0);
}

TEST_F(OneCDoubleClickTest, TripleClickTriggersOnceAndDistanceOrTimeBreaksIt) {
  for (int click = 0; click < 3; ++click) {
    desktop.mouse().click({50, 50});
    desktop.advance(Duration(0.1));
  }
  desktop.advance(Duration(1));
  EXPECT_EQ(controlReturns(), 2);

  desktop.mouse().click({50, 50});
  desktop.advance(Duration(0.1));
  desktop.mouse().click({70, 50}); // 20 points away
  desktop.advance(Duration(1));
  desktop.mouse().click({70, 50});
  desktop.advance(Duration(0.501)); // just past the interval
  desktop.mouse().click({70, 50});
  desktop.advance(Duration(0.5)); // exactly the interval still counts
  desktop.mouse().click({70, 50});
  desktop.advance(Duration(1));
  EXPECT_EQ(controlReturns(), 2);
}

TEST_F(OneCDoubleClickTest, RecognisesTheClientsByBundleOrExecutable) {
  struct Case {
    std::string bundleIdentifier;
    std::optional<std::string> bundlePath;
    std::optional<std::string> executablePath;
    bool oneC;
  };
  const std::vector<Case> cases{
      {"com.1c.v8.apps.1cv8", {}, {}, true},
      {"com.example", "/Applications/1CV8C-8.3.24.app", {}, true},
      {"com.example", "/Applications/1cv8.app", {}, true},
      {"com.example", "/Applications/1cv8x.app", "/Applications/1cv8x.app/Contents/MacOS/app",
       false},
      {"com.example", {}, "/opt/1cv8/x86_64/1CV8C", true},
      {"com.example", {}, "/opt/1cv8/x86_64/1cv8s", false},
  };
  OneCDoubleClick probe(desktop.clock(), desktop.eventTaps(), desktop.workspace(),
                        desktop.runLoop(), desktop.sound(), desktop.log());
  for (const Case& testCase : cases) {
    desktop.bringToFront(testCase.bundleIdentifier, testCase.bundlePath, testCase.executablePath);
    EXPECT_EQ(probe.isFrontmostOneC(), testCase.oneC)
        << testCase.bundlePath.value_or("") << testCase.executablePath.value_or("");
  }
}

TEST_F(OneCDoubleClickTest, NothingHappensElsewhereOrWithTheSwitchOff) {
  desktop.bringToFront("com.apple.TextEdit");
  desktop.mouse().click({10, 10});
  desktop.mouse().click({10, 10});
  desktop.bringToFront("com.1c.v8.apps.1cv8c");
  settings.set(false, Settings::Key::oneCDoubleClickToF2Enabled);
  desktop.mouse().click({10, 10});
  desktop.mouse().click({10, 10});
  desktop.advance(Duration(1));
  EXPECT_EQ(controlReturns(), 0);
  EXPECT_TRUE(desktop.log().lines().empty());
}

} // namespace
} // namespace quillon
