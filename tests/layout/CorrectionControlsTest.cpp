#include "support/TypingTest.h"

namespace quillon {
namespace {

using Words = std::vector<std::string>;

class CorrectionControlsTest : public TypingTest {
protected:
  Words learned() { return settings.list(Settings::ListKey::autoSwitchNeverSwitch); }
};

TEST_F(CorrectionControlsTest, AnExcludedApplicationIsLeftAloneWhileOthersAreCorrected) {
  settings.setList({"com.example.terminal"}, Settings::ListKey::autoSwitchExcludedApps);
  desktop.bringToFront("com.example.terminal");
  type("us", "ghbdtn k.,k. ");
  EXPECT_EQ(text(), "ghbdtn k.,k. ");
  EXPECT_EQ(source(), US);
  // Command+Backslash still converts the word being typed.
  type("us", "ghbdtn");
  undoShortcut();
  EXPECT_EQ(text(), "ghbdtn k.,k. привет");

  startOver();
  desktop.bringToFront("com.example.editor");
  type("us", "ghbdtn ");
  EXPECT_EQ(text(), "привет ");
}

TEST_F(CorrectionControlsTest, AnUndoneWordIsNeverSwitchedAgainUntilForgotten) {
  type("us", "ghbdtn ");
  EXPECT_EQ(text(), "привет ");
  undoShortcut();
  EXPECT_EQ(text(), "ghbdtn ");
  EXPECT_EQ(learned(), Words{"ghbdtn"});
  EXPECT_TRUE(logged("Quillon autoswitch: learned a word not to switch (1 learned)"));

  startOver();
  type("us", "ghbdtn ghbdtn. Ghbdtn ");
  EXPECT_EQ(text(), "ghbdtn ghbdtn. Ghbdtn ");
  EXPECT_EQ(source(), US);
  EXPECT_EQ(countLinesContaining("learned from undo, length=6 — kept"), 2U);

  // Undoing a forced conversion teaches nothing: the user asked for it.
  startOver();
  type("us", "rfr");
  undoShortcut();
  undoShortcut();
  EXPECT_EQ(learned(), Words{"ghbdtn"});

  settings.setList({}, Settings::ListKey::autoSwitchNeverSwitch);
  startOver();
  type("us", "ghbdtn ");
  EXPECT_EQ(text(), "привет ");
}

TEST_F(CorrectionControlsTest, LearnedWordsKeepTheNewestThousand) {
  Words many;
  for (std::size_t index = 0; index < AutoSwitcher::maxLearnedWords; ++index) {
    many.push_back("word" + std::to_string(index));
  }
  settings.setList(many, Settings::ListKey::autoSwitchNeverSwitch);
  type("us", "ghbdtn ");
  undoShortcut();
  const Words kept = learned();
  ASSERT_EQ(kept.size(), AutoSwitcher::maxLearnedWords);
  EXPECT_EQ(kept.front(), "word1");
  EXPECT_EQ(kept.back(), "ghbdtn");

  // The dictionaries do not overrule what undo taught.
  settings.set(true, Settings::Key::dictionaryCorrectionEnabled);
  tap->autoSwitcher().dictionaries().load();
  ASSERT_TRUE(tap->autoSwitcher().dictionaries().waitUntilLoaded());
  startOver();
  type("us", "ghbdtn ");
  EXPECT_EQ(text(), "ghbdtn ");
}

} // namespace
} // namespace quillon
