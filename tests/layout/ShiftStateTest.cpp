#include "support/TypingTest.h"

namespace quillon {
namespace {

// A retyped key types what it types in the other layout with the Shift state
// it was typed with, and the undo types back what the user typed.
class ShiftStateTest : public TypingTest {};

struct ShiftedCase {
  std::string_view layout;
  std::string_view typed;
  std::string_view switched;
};

TEST_F(ShiftStateTest, ShiftedSymbolsAreRetypedAndUndoneWithTheirShift) {
  const std::vector<ShiftedCase> cases{
      // Shift+1 inside the word: "!" on both layouts.
      {"us", "ghbdtn! ", "привет! "},
      // Shift+/ ends the word: "?" on both layouts.
      {"us", "xnj?", "что?"},
      // Shift+- inside the word is "_", not "-".
      {"us", "vjq_ntcn ", "мой_тест "},
      // On the Russian layout "," is Shift+6, which is "^" on the US layout.
      {"ru(mac)", "руддщ, ", "hello^ "},
  };
  for (const ShiftedCase& shifted : cases) {
    SCOPED_TRACE(shifted.typed);
    startOver();
    if (shifted.layout != "us") {
      ASSERT_TRUE(desktop.inputSources().select(Russian));
    }
    type(shifted.layout, shifted.typed);
    EXPECT_EQ(text(), shifted.switched);
    undoShortcut();
    EXPECT_EQ(text(), shifted.typed);
  }
}

TEST_F(ShiftStateTest, ForcedConversionKeepsTheShiftOfSymbols) {
  type("us", "ghbdtn_");
  undoShortcut();
  EXPECT_EQ(text(), "привет_");
  EXPECT_TRUE(logged("Quillon autoswitch: FORCE convert, length=7"));
  undoShortcut();
  EXPECT_EQ(text(), "ghbdtn_");
}

// A question mark is Shift+/ on the Russian layout: it asks, it does not
// start a slash command.
TEST_F(ShiftStateTest, AQuestionMarkOnTheRussianLayoutIsNoSlashCommand) {
  ASSERT_TRUE(desktop.inputSources().select(Russian));
  type("ru(mac)", "?привет ");
  EXPECT_EQ(text(), "?привет ");
  EXPECT_EQ(source(), Russian);
  EXPECT_FALSE(tap->autoSwitcher().inSlashCommand());
}

TEST_F(ShiftStateTest, DeletingAShiftedLetterLowersTheShiftedCount) {
  // Two capitals among fewer than five letters would be an acronym; the
  // Delete leaves one.
  type("us", "YT");
  press({}, keycode::Delete);
  type("us", "tn ");
  EXPECT_EQ(text(), "Нет ");
}

TEST_F(ShiftStateTest, LongWordsAreAcronymsOnlyWithManyOrAdjacentCapitals) {
  type("us", "GhBdTn ");
  type("us", "GHbdtn ");
  EXPECT_EQ(text(), "GhBdTn GHbdtn ");
  EXPECT_EQ(source(), US);
  type("us", "GhBdtn ");
  EXPECT_EQ(text(), "GhBdTn GHbdtn ПрИвет ");
  EXPECT_EQ(source(), Russian);
}

} // namespace
} // namespace quillon
