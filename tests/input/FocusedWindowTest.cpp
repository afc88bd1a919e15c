#include "support/ScriptTest.h"
#include "support/TypingTest.h"

namespace quillon {
namespace {

// Each window has a caret of its own: a word typed in one window is never
// continued, erased or undone in another, even of the same application.
class FocusedWindowTest : public TypingTest {
protected:
  void SetUp() override {
    TypingTest::SetUp();
    const int editor = desktop.bringToFront("com.example.editor");
    desktop.applications().openWindow(editor, {{0, 0}, {400, 300}});
    focusMoves = desktop.workspace().observeFocusedWindowChanges([this] { ++moves; });
  }
  void otherWindow() { ASSERT_TRUE(desktop.focusNextWindow()); }

  int moves = 0;
  Observation focusMoves;
};

TEST_F(FocusedWindowTest, AWordEndsWhenTheFocusMovesToAnotherWindowOfTheSameApplication) {
  otherWindow(); // B, a sibling of the first window, A
  type("us", "abc");
  otherWindow();
  type("us", "ghb");
  otherWindow();
  // "dtn" is judged as a word of its own ("вет"), and only it is erased.
  type("us", "dtn ");
  EXPECT_EQ(text(), "abcвет ");
  otherWindow();
  EXPECT_EQ(text(), "ghb");
  EXPECT_EQ(moves, 4);
}

TEST_F(FocusedWindowTest, AnUndoStaysWithTheWindowItWasMadeIn) {
  type("us", "xnj ");
  ASSERT_EQ(text(), "что ");
  otherWindow();
  undoShortcut();
  EXPECT_EQ(text(), "");
  otherWindow();
  EXPECT_EQ(text(), "что ");
}

using FocusScriptTest = ScriptTest;

TEST_F(FocusScriptTest, NextWindowGivesTheFrontmostApplicationASecondWindowWithItsOwnText) {
  EXPECT_EQ(
      run("next-window\n"),
      std::vector<std::string>{"error: next-window: the frontmost application has no window"});
  EXPECT_EQ(run("frontmost com.example.editor\nwindow 0 0 400 300\nkeys us abc\nnext-window\n"
                "keys us ghb\nnext-window\nkeys us dtn \nwait 1\ntext\nnext-window\ntext\n"),
            (std::vector<std::string>{R"("abcвет ")", R"("ghb")"}));
}

} // namespace
} // namespace quillon
