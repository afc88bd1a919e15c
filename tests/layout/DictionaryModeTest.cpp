#include "support/TypingTest.h"

#include <utility>

namespace quillon {
namespace {

// Words typed on the simulated keyboard with the dictionaries consulted, and
// the same keys judged by the letter-pair rules alone.
class DictionaryModeTest : public TypingTest {
protected:
  void useDictionaries() {
    settings.set(true, Settings::Key::dictionaryCorrectionEnabled);
    tap->autoSwitcher().dictionaries().load();
    ASSERT_TRUE(tap->autoSwitcher().dictionaries().waitUntilLoaded());
  }
  // Each word typed from an empty field on the English layout.
  std::string typedAlone(std::string_view keys) {
    startOver();
    type("us", keys);
    return text();
  }
};

TEST_F(DictionaryModeTest, CapitalisedAndAllCapsWordsAreFoundInEitherCase) {
  useDictionaries();
  EXPECT_EQ(typedAlone("GHBDTN "), "ПРИВЕТ ");
  EXPECT_EQ(source(), Russian);
  EXPECT_EQ(typedAlone("Vjcrdf "), "Москва ");
  EXPECT_EQ(typedAlone("NASA "), "NASA ");
  EXPECT_EQ(typedAlone("London "), "London ");
  // Two capitals are an acronym, too short to be a word in capitals.
  EXPECT_EQ(typedAlone("VS "), "VS ");
}

TEST_F(DictionaryModeTest, PunctuationKeysReadAsRussianLettersWhenTheWholeWordIsOne) {
  useDictionaries();
  EXPECT_EQ(typedAlone("k.,k. "), "люблю ");
  EXPECT_TRUE(logged(
      "Quillon autoswitch: dictionary word alt length=5 (trailing punct as letter) — switching"));
  // An abbreviation keeps its own period.
  EXPECT_EQ(typedAlone("e.g. "), "e.g. ");
  EXPECT_EQ(source(), US);
  // A Russian word before a real period: the period stays punctuation.
  EXPECT_EQ(typedAlone("ckjdj. "), "слово. ");
}

TEST_F(DictionaryModeTest, AShiftedPunctuationKeyWaitsForTheWholeWord) {
  useDictionaries();
  EXPECT_EQ(typedAlone("<jhbc "), "Борис ");
  EXPECT_EQ(source(), Russian);
  EXPECT_TRUE(logged("Quillon autoswitch: look-ahead word alt length=5 — switching"));
  // Not a word with "Б" inside: exactly what the rules give, where the
  // shifted key ended a word that was switched.
  EXPECT_EQ(typedAlone("ghbdtn<rfr "), "привет<как ");
  EXPECT_EQ(source(), Russian);
  EXPECT_EQ(typedAlone("ok<ok "), "ok<ok ");
  EXPECT_EQ(source(), US);
}

TEST_F(DictionaryModeTest, ShortWordsFollowTheLists) {
  useDictionaries();
  EXPECT_EQ(typedAlone("d "), "в ");
  EXPECT_EQ(typedAlone("x "), "x ");
  EXPECT_EQ(typedAlone("a "), "a ");
  // A technical word to the rules, the preposition "с" to the lists.
  EXPECT_EQ(typedAlone("c "), "с ");
  EXPECT_EQ(typedAlone("i "), "i ");
}

TEST_F(DictionaryModeTest, AWordOfBothLanguagesIsLeftToTheRules) {
  useDictionaries();
  // "her" and "рук", "ctn" and "сет": both dictionaries know both readings.
  EXPECT_EQ(typedAlone("her "), "her ");
  EXPECT_EQ(typedAlone("ctn "), "сет ");
  EXPECT_TRUE(loggedContaining("word length=3 score="));
}

TEST_F(DictionaryModeTest, OffTheRulesGiveTodaysResults) {
  const std::vector<std::pair<std::string_view, std::string_view>> rulesAlone{
      // The rules switch "e.g." and miss capitals and the punctuation keys.
      {"GHBDTN ", "GHBDTN "}, {"k.,k. ", "любл. "}, {"<jhbc ", "<орис "},
      {"e.g. ", "уюп. "},     {"ctn ", "сет "},     {"ghbdtn<rfr ", "привет<как "},
  };
  for (const auto& [keys, expected] : rulesAlone) {
    EXPECT_EQ(typedAlone(keys), expected) << keys;
  }
  EXPECT_FALSE(loggedContaining("dictionaries"));
  EXPECT_FALSE(loggedContaining("look-ahead"));
}

TEST_F(DictionaryModeTest, AMissingDictionaryIsSaidOnceAndTheRulesStillWork) {
  tap->autoSwitcher().dictionaries().lookIn({"/nonexistent/quillon"});
  settings.set(true, Settings::Key::dictionaryCorrectionEnabled);
  // The first word end asks for the dictionaries and is judged without them.
  EXPECT_EQ(typedAlone("ghbdtn "), "привет ");
  EXPECT_FALSE(tap->autoSwitcher().dictionaries().waitUntilLoaded());
  EXPECT_EQ(typedAlone("k.,k. "), "любл. ");
  EXPECT_EQ(typedAlone("GHBDTN "), "GHBDTN ");
  EXPECT_EQ(countLinesContaining("Quillon autoswitch: dictionaries not loaded (cannot open "
                                 "/nonexistent/quillon/en_US.marisa) — correcting by the rules "
                                 "alone"),
            1U);
}

} // namespace
} // namespace quillon
