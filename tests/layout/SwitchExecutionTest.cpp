#include "support/TypingTest.h"

#include <cmath>

namespace quillon {
namespace {

class SwitchExecutionTest : public TypingTest {};

// Every pause the product takes, with what the field and the current source
// show at that moment: the order of erasing, switching and typing.
class PauseRecorder final : public Clock {
public:
  explicit PauseRecorder(SimDesktop& desktop) : desktop_(desktop) {}

  TimePoint now() const override { return desktop_.clock().now(); }
  WallTime wallNow() const override { return desktop_.clock().wallNow(); }
  void sleep(Duration duration) override {
    const auto milliseconds = std::lround(duration.count() * 1000);
    const bool russian = desktop_.inputSources().currentKeyboardSourceIdentifier() == Russian;
    pauses.push_back(std::to_string(milliseconds) + " ms \"" + desktop_.textField().text() + "\" " +
                     (russian ? "ru" : "en"));
    desktop_.clock().sleep(duration);
  }

  std::vector<std::string> pauses;

private:
  SimDesktop& desktop_;
};

TEST_F(SwitchExecutionTest, ASwitchErasesSwitchesAndTypesWithItsPauses) {
  PauseRecorder clock(desktop);
  EventSynthesizer timedSynthesizer(desktop.eventTaps(), clock);
  tap.reset();
  auto timedTap = std::make_unique<EventTap>(EventTap::Dependencies{
      desktop.eventTaps(), desktop.inputSources(), desktop.pasteboard(), desktop.runLoop(), clock,
      desktop.log(), desktop.sound(), desktop.workspace(), desktop.localization(), settings,
      actions, timedSynthesizer, languageSwitcher, hud});
  ASSERT_TRUE(timedTap->start());

  type("us", "xnj");
  const TimePoint before = desktop.clock().now();
  desktop.keyboard().tap(keycode::Space);
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.clock().now() - before, std::chrono::milliseconds(29));
  EXPECT_EQ(clock.pauses,
            (std::vector<std::string>{"2 ms \"xn\" en", "2 ms \"x\" en", "2 ms \"\" en",
                                      "15 ms \"\" ru", "2 ms \"ч\" ru", "2 ms \"чт\" ru",
                                      "2 ms \"что\" ru", "2 ms \"что \" ru"}));
}

TEST_F(SwitchExecutionTest, TabArrivesOnceAfterTheRetypedWordWithoutModifiers) {
  type("us", "xnj");
  desktop.textField().takeDeliveredEvents();
  pressChord({}, keycode::Tab);
  desktop.advance(Duration(0.5));
  EXPECT_EQ(text(), "что\t");
  std::vector<DeliveredEvent> tabs;
  std::string typedBeforeTab;
  for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
    if (event.type != EventType::KeyDown) {
      continue;
    }
    if (event.keyCode == keycode::Tab) {
      tabs.push_back(event);
    } else if (tabs.empty()) {
      typedBeforeTab += event.characters;
    }
  }
  ASSERT_EQ(tabs.size(), 1U);
  EXPECT_TRUE(tabs.front().marked);
  EXPECT_EQ(tabs.front().flags, 0U);
  EXPECT_EQ(typedBeforeTab, "что");
}

// The Return or Tab may already have sent the line or moved the focus to
// another field, so whatever came before it must stay on screen.
TEST_F(SwitchExecutionTest, ASwitchEndedByReturnOrTabLeavesNoUndo) {
  for (const KeyCode key : {keycode::Return, keycode::Tab}) {
    SCOPED_TRACE(key);
    startOver();
    type("us", "xnj");
    press({}, key);
    const std::string switched = key == keycode::Return ? "что\n" : "что\t";
    ASSERT_EQ(text(), switched);
    EXPECT_FALSE(tap->autoSwitcher().pendingUndo());
    undoShortcut();
    EXPECT_EQ(text(), switched);
    EXPECT_EQ(source(), Russian);
  }
  EXPECT_FALSE(loggedContaining("undo via"));
  EXPECT_TRUE(logged("Quillon autoswitch: forceConvert — buffer is empty, nothing to convert"));
}

TEST_F(SwitchExecutionTest, EscapeAndControlChordsCloseTheUndoWindow) {
  const std::vector<std::pair<std::vector<KeyCode>, KeyCode>> closers{
      {{}, keycode::Escape}, {{keycode::Control}, keycode::A}, {{keycode::Control}, keycode::E}};
  for (const auto& [modifiers, key] : closers) {
    SCOPED_TRACE(key);
    startOver();
    type("us", "xnj ");
    ASSERT_TRUE(tap->autoSwitcher().pendingUndo());
    press(modifiers, key);
    undoShortcut();
    EXPECT_EQ(text(), "что ");
    EXPECT_EQ(source(), Russian);
  }
  EXPECT_FALSE(loggedContaining("undo via"));
}

TEST_F(SwitchExecutionTest, AForcedConversionCanBeUndone) {
  type("us", "Ghbdtn");
  undoShortcut();
  ASSERT_EQ(text(), "Привет");
  ASSERT_EQ(source(), Russian);
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>{"Pop"});
  undoShortcut();
  EXPECT_EQ(text(), "Ghbdtn");
  EXPECT_EQ(source(), US);
  EXPECT_TRUE(logged("Quillon autoswitch: undo via Cmd+\\ — restoring length=6"));
  EXPECT_TRUE(desktop.sound().takePlayed().empty()) << "an undo plays no sound";
}

} // namespace
} // namespace quillon
