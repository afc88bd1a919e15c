#include "input/EventSynthesizer.h"
#include "input/LanguageSwitcher.h"
#include "platform/sim/SimDesktop.h"
#include "support/InputSourceBuilders.h"
#include "support/TapWorld.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class EventSynthesisTest : public ::testing::Test {
protected:
  std::vector<DeliveredEvent> delivered() { return desktop.textField().takeDeliveredEvents(); }

  SimDesktop desktop;
  EventSynthesizer synthesizer{desktop.eventTaps(), desktop.clock()};
};

TEST_F(EventSynthesisTest, EachCharacterIsOneMarkedPairWithItsWholeText) {
  const TimePoint before = desktop.clock().now();
  // "e" with a combining acute, a surrogate-pair emoji and a flag of two
  // regional indicators: each must arrive whole.
  synthesizer.sendUnicodeString("ab\u0065\u0301\U0001F600\U0001F1F7\U0001F1FA");
  const auto events = delivered();
  ASSERT_EQ(events.size(), 10u);
  const std::vector<std::string> expected{"a", "b", "e\u0301", "\U0001F600",
                                          "\U0001F1F7\U0001F1FA"};
  for (std::size_t index = 0; index < events.size(); ++index) {
    EXPECT_EQ(events[index].type, index % 2 == 0 ? EventType::KeyDown : EventType::KeyUp);
    EXPECT_EQ(events[index].flags, 0u);
    EXPECT_TRUE(events[index].marked);
    EXPECT_EQ(events[index].characters, expected[index / 2]);
  }
  EXPECT_EQ(desktop.textField().text(), "abe\u0301\U0001F600\U0001F1F7\U0001F1FA");
  EXPECT_EQ(desktop.clock().now() - before, std::chrono::milliseconds(10));
}

// The simulated system, like a real one, gives a posted event without flags
// of its own the modifiers the user holds.
TEST_F(EventSynthesisTest, KeysAndTextCarryExactlyTheirOwnFlagsWhateverIsHeld) {
  desktop.keyboard().keyDown(keycode::Option);
  desktop.keyboard().keyDown(keycode::Shift);
  delivered();
  synthesizer.postKey(keycode::Digit5, flag::Shift | flag::Command);
  auto events = delivered();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].flags, flag::Shift | flag::Command);
  EXPECT_EQ(events[1].type, EventType::KeyUp);
  EXPECT_TRUE(events[0].marked && events[1].marked);

  synthesizer.sendUnicodeString("ok");
  events = delivered();
  ASSERT_EQ(events.size(), 4u);
  for (const DeliveredEvent& event : events) {
    EXPECT_EQ(event.flags, 0u) << event.characters;
  }
  EXPECT_EQ(desktop.textField().text(), "ok");

  Event unflagged = makeKeyboardEvent(nullptr, keycode::A, true);
  desktop.eventTaps().post(unflagged, TapLocation::Hid);
  EXPECT_EQ(delivered().at(0).flags, flag::Option | flag::Shift);
}

TEST_F(EventSynthesisTest, WithoutASourceEventsGoOutUnmarked) {
  desktop.eventTaps().setSourceCreationFails(true);
  synthesizer.sendUnicodeString("x");
  const auto events = delivered();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[0].marked);
  EXPECT_EQ(desktop.textField().text(), "x");
}

TEST_F(EventSynthesisTest, MalformedTextIsTypedWithReplacementCharacters) {
  synthesizer.sendUnicodeString(std::string_view("a\xC3(b", 4));
  EXPECT_EQ(desktop.textField().text(), "a\uFFFD(b");
}

// The product's replacement text goes out from the main queue while the user
// still holds the modifiers of the key that asked for it.
class SyntheticTextWhileKeysAreHeldTest : public ::testing::Test, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  std::unique_ptr<EventTap> tap = makeTap();
};

TEST_F(SyntheticTextWhileKeysAreHeldTest, ArrivesBeforeShiftIsReleased) {
  ASSERT_EQ(desktop.typist().type("us", "??"), std::nullopt);
  EXPECT_EQ(desktop.textField().text(), ",");
  std::vector<std::string> seen;
  for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
    std::string line = (event.type == EventType::FlagsChanged ? "flags "
                        : event.type == EventType::KeyDown    ? "down "
                                                              : "up ") +
                       std::to_string(event.keyCode) + " " + std::to_string(event.flags);
    if (event.marked) {
      line += " marked " + event.characters;
    }
    seen.push_back(line);
  }
  // The second press was swallowed, so its release is too.
  EXPECT_EQ(seen, (std::vector<std::string>{"flags 56 131072", "down 44 131072", "up 44 131072",
                                            "flags 56 0", "flags 56 131072", "down 51 0 marked ",
                                            "up 51 0 marked ", "down 0 0 marked ,",
                                            "up 0 0 marked ,", "flags 56 0"}));
}

class LanguageSwitcherTest : public ::testing::Test {
protected:
  std::string current() {
    return desktop.inputSources().currentKeyboardSourceIdentifier().value_or("none");
  }

  SimDesktop desktop;
  LanguageSwitcher switcher{desktop.inputSources()};
};

TEST_F(LanguageSwitcherTest, CyclesThroughEnabledLayoutsAndWrapsAround) {
  std::string error;
  ASSERT_TRUE(desktop.inputSources().setEnabledLayouts(
      {"com.apple.keylayout.US", "com.apple.keylayout.Russian", "com.apple.keylayout.German"},
      &error));
  ASSERT_TRUE(desktop.inputSources().select("com.apple.keylayout.German"));
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "com.apple.keylayout.US");
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "com.apple.keylayout.Russian");
}

TEST_F(LanguageSwitcherTest, OneLayoutChangesNothing) {
  std::string error;
  ASSERT_TRUE(desktop.inputSources().setEnabledLayouts({"com.apple.keylayout.US"}, &error));
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "com.apple.keylayout.US");
}

TEST_F(LanguageSwitcherTest, SkipsWhatCannotBeSwitchedToAndLeavesAPaletteForTheFirst) {
  auto source = [](std::string identifier, std::optional<std::string> type,
                   std::optional<bool> enabled, std::optional<bool> selectable) {
    InputSourceInfo info = keyboardSource(std::move(identifier), {"en"});
    info.type = std::move(type);
    info.enabled = enabled;
    info.selectCapable = selectable;
    return info;
  };
  const std::string layout(inputsource::TypeKeyboardLayout);
  SimInputSources& sources = desktop.inputSources();
  sources.addSource(source("not.selectable", layout, true, false));
  sources.addSource(source("no.type", std::nullopt, true, true));
  sources.addSource(source("palette", std::string(inputsource::TypeCharacterPalette), true, true));
  sources.addSource(source("disabled", layout, false, true));
  sources.addSource(source("unknown.enabled", layout, std::nullopt, true));
  sources.addSource(
      source("input.mode", std::string(inputsource::TypeKeyboardInputMode), true, true), "ru");

  ASSERT_TRUE(sources.select("palette"));
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "com.apple.keylayout.US");
  switcher.switchToNextInputSource();
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "input.mode");
  switcher.switchToNextInputSource();
  EXPECT_EQ(current(), "com.apple.keylayout.US");
}

} // namespace
} // namespace quillon
