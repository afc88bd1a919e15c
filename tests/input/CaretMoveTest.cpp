#include "support/TypingTest.h"

#include <functional>

namespace quillon {
namespace {

// A click or another application in front may have put the caret anywhere:
// the keys typed before it are no longer the word before the caret, and an
// undo would erase unrelated text.
class CaretMoveTest : public TypingTest {
protected:
  struct Move {
    std::string_view name;
    std::function<void()> perform;
  };

  std::vector<Move> moves() {
    return {
        {"left mouse press",
         [this] {
           desktop.mouse().click({100, 100});
         }},
        {"frontmost application",
         [this] { desktop.bringToFront("com.example.other" + std::to_string(++launched_)); }},
    };
  }

private:
  int launched_ = 0;
};

TEST_F(CaretMoveTest, TheWordEndsWhereTheCaretMayHaveMoved) {
  for (const Move& move : moves()) {
    SCOPED_TRACE(move.name);
    startOver();
    type("us", "ghbd");
    move.perform();
    type("us", "tn ");
    EXPECT_EQ(text(), "ghbdtn ");
    EXPECT_EQ(source(), US);
  }
}

TEST_F(CaretMoveTest, SlashModeEndsWhereTheCaretMayHaveMoved) {
  for (const Move& move : moves()) {
    SCOPED_TRACE(move.name);
    startOver();
    ASSERT_TRUE(desktop.inputSources().select(Russian));
    type("ru(mac)", "/");
    move.perform();
    // A slash command would flip it to "xnj"; a Russian word stays Russian.
    type("ru(mac)", "что ");
    EXPECT_EQ(text(), "/что ");
    EXPECT_EQ(source(), Russian);
  }
}

TEST_F(CaretMoveTest, TheUndoWindowClosesWhereTheCaretMayHaveMoved) {
  for (const Move& move : moves()) {
    SCOPED_TRACE(move.name);
    startOver();
    type("us", "xnj ");
    ASSERT_EQ(text(), "что ");
    move.perform();
    undoShortcut();
    EXPECT_EQ(text(), "что ");
    EXPECT_EQ(source(), Russian);
  }
  EXPECT_FALSE(loggedContaining("undo via"));
}

TEST_F(CaretMoveTest, TheSameApplicationInFrontChangesNothing) {
  desktop.bringToFront("com.example.editor");
  type("us", "ghbd");
  desktop.bringToFront("com.example.editor");
  type("us", "tn ");
  EXPECT_EQ(text(), "привет ");
}

} // namespace
} // namespace quillon
