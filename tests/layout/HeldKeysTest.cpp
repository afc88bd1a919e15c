#include "support/ScriptTest.h"
#include "support/TypingTest.h"

#include <algorithm>

namespace quillon {
namespace {

// Keys typed faster than a correction is retyped: they wait behind it and
// arrive after it, in order, each judged as typed.
class HeldKeysTest : public TypingTest {
protected:
  // Key rollover leaves a few milliseconds between keys; a switch of a
  // six-letter word takes some forty.
  static constexpr Duration rollover{0.004};

  void typeQuickly(std::string_view layout, std::string_view text) {
    const auto problem = desktop.typist().type(layout, text, rollover);
    ASSERT_FALSE(problem) << *problem;
    desktop.advance(Duration(0.5));
  }
};

TEST_F(HeldKeysTest, WordsTypedDuringASwitchFollowItAndAreCorrectedInTurn) {
  typeQuickly("us", "ghbdtn world ghbdtn world ");
  // "world" comes after the switch to Russian, so its keys type "цщкд",
  // which is itself corrected back: nothing is lost or reordered.
  EXPECT_EQ(text(), "привет world привет world ");
  EXPECT_EQ(source(), US);
  EXPECT_FALSE(tap->autoSwitcher().replacementPending());
}

TEST_F(HeldKeysTest, ReplayedKeysCarryTheirOwnModifiersAndReturnStaysLast) {
  typeQuickly("us", "xnj Oz");
  press({}, keycode::Return);
  EXPECT_EQ(text(), "что Щя\n");

  // The replayed keys are the product's own, with the Shift they were typed
  // with, and none of their releases reached the field on its own.
  const auto events = desktop.textField().deliveredEvents().copy();
  const auto shiftedO = std::find_if(events.begin(), events.end(), [](const DeliveredEvent& event) {
    return event.type == EventType::KeyDown && event.keyCode == keycode::O;
  });
  ASSERT_NE(shiftedO, events.end());
  EXPECT_TRUE(shiftedO->marked);
  EXPECT_NE(shiftedO->flags & flag::Shift, 0U);
  for (auto event = events.begin(); event != events.end(); ++event) {
    if (event->type == EventType::KeyUp && !event->marked) {
      EXPECT_TRUE(std::any_of(events.begin(), event,
                              [&](const DeliveredEvent& earlier) {
                                return earlier.type == EventType::KeyDown &&
                                       earlier.keyCode == event->keyCode && !earlier.marked;
                              }))
          << "a release without its press, key " << event->keyCode;
    }
  }
}

using QuickTypingScriptTest = ScriptTest;

TEST_F(QuickTypingScriptTest, TheTypistsIntervalIsSetByScript) {
  EXPECT_EQ(run("typing-interval 0.004\nkeys us ghbdtn world ghbdtn world \nwait 1\ntext\n"),
            std::vector<std::string>{R"("привет world привет world ")"});
  EXPECT_EQ(run("typing-interval -1\ntyping-interval soon\n"),
            (std::vector<std::string>{
                "error: typing-interval: expected a number of seconds from 0 to 10",
                "error: typing-interval: expected a number of seconds from 0 to 10"}));
}

} // namespace
} // namespace quillon
