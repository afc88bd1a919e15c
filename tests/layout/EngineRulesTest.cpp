#include "support/TypingTest.h"

namespace quillon {
namespace {

class EngineRulesTest : public TypingTest {
protected:
  void enable(std::vector<std::string> layouts) {
    std::string error;
    ASSERT_TRUE(desktop.inputSources().setEnabledLayouts(layouts, &error)) << error;
  }
};

TEST_F(EngineRulesTest, TechnicalWordsSwitchOnlyTowardsEnglish) {
  ASSERT_TRUE(desktop.inputSources().select(Russian));
  type("ru(mac)", "пше ");
  EXPECT_EQ(text(), "git ");
  EXPECT_EQ(source(), US);
  EXPECT_TRUE(logged("Quillon autoswitch: tech word match alt length=3 — switching"));
}

TEST_F(EngineRulesTest, ASourceThatIsNeitherEnglishNorRussianIsLoggedOnceWhileItLasts) {
  const std::string_view neither = "matches neither";
  enable({"com.apple.keylayout.German", "com.apple.keylayout.US", "com.apple.keylayout.Russian"});
  type("us", "xnj ");
  type("us", "hello world ");
  EXPECT_EQ(text(), "xnj hello world ");
  EXPECT_TRUE(logged("Quillon autoswitch: current source com.apple.keylayout.German matches "
                     "neither EN (com.apple.keylayout.US) nor RU (com.apple.keylayout.Russian)"));
  EXPECT_EQ(countLinesContaining(neither), 1U);

  // Back on the pair, then on the third layout again: a new condition.
  ASSERT_TRUE(desktop.inputSources().select(US));
  type("us", "the ");
  ASSERT_TRUE(desktop.inputSources().select("com.apple.keylayout.German"));
  type("us", "abc ");
  EXPECT_EQ(countLinesContaining(neither), 2U);
}

TEST_F(EngineRulesTest, SlashModeRefusesNonLettersAndEndsWhenDeleteEmptiesTheWord) {
  ASSERT_TRUE(desktop.inputSources().select(Russian));
  // "р1" reads "h1": not all letters, so no flip, and no other judgement.
  type("ru(mac)", "/р1 ");
  EXPECT_EQ(text(), "/р1 ");
  EXPECT_FALSE(loggedContaining("slash-command flip"));
  EXPECT_FALSE(loggedContaining("word length="));

  type("ru(mac)", "/р");
  ASSERT_TRUE(tap->autoSwitcher().inSlashCommand());
  press({}, keycode::Delete);
  EXPECT_FALSE(tap->autoSwitcher().inSlashCommand());
  // The next word is judged as any other.
  type("ru(mac)", "руддщ ");
  EXPECT_EQ(text(), "/р1 /hello ");
  EXPECT_FALSE(loggedContaining("slash-command flip"));
  EXPECT_TRUE(loggedContaining("word length=5"));
}

TEST_F(EngineRulesTest, AMissingPairIsLoggedOncePerChangeOfTheEnabledSources) {
  const std::string_view missing = "Quillon autoswitch: EN+RU pair not found — buffer cleared";
  enable({"com.apple.keylayout.US", "com.apple.keylayout.German"});
  type("us", "hello world");
  EXPECT_EQ(countLinesContaining(missing), 1U);
  EXPECT_EQ(text(), "hello world");
  EXPECT_TRUE(tap->autoSwitcher().buffer().empty()) << "each key still forgets the word";

  // Still no pair after a change: said again, once.
  enable({"com.apple.keylayout.US"});
  type("us", "xnj ");
  EXPECT_EQ(countLinesContaining(missing), 2U);
  EXPECT_EQ(text(), "hello worldxnj ");

  // A pair found and lost again is a change too.
  enable({"com.apple.keylayout.US", "com.apple.keylayout.Russian"});
  type("us", "xnj ");
  EXPECT_EQ(text(), "hello worldxnj что ");
  enable({"com.apple.keylayout.US"});
  type("us", "ok");
  EXPECT_EQ(countLinesContaining(missing), 3U);
}

} // namespace
} // namespace quillon
