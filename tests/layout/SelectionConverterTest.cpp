#include "layout/SelectionConverter.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {
namespace {

using Direction = SelectionConverter::Direction;
using CharMap = SelectionConverter::CharMap;

constexpr std::string_view kUs = "com.apple.keylayout.US";
constexpr std::string_view kRussian = "com.apple.keylayout.Russian";
constexpr std::string_view kGerman = "com.apple.keylayout.German";

constexpr std::string_view kRussianAlphabet = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";

std::optional<std::string> lookUp(const CharMap& map, const std::string& character) {
  const auto found = map.find(character);
  return found == map.end() ? std::nullopt : std::optional(found->second);
}

class SelectionConverterMaps : public ::testing::Test {
protected:
  SelectionConverter::CharMaps build(std::string_view en, std::string_view ru) {
    std::string error;
    EXPECT_TRUE(
        desktop.inputSources().setEnabledLayouts({std::string(en), std::string(ru)}, &error))
        << error;
    return SelectionConverter::buildCharMaps(translator, en, ru);
  }

  SimDesktop desktop;
  LayoutTranslator translator{desktop.inputSources()};
};

TEST_F(SelectionConverterMaps, PairTheCharactersOfEachKeyPosition) {
  const auto maps = build(kUs, kRussian);
  const std::vector<std::pair<std::string, std::string>> pairs{
      {"g", "п"},
      {"q", "й"},
      {"[", "х"},
      {"]", "ъ"},
      {";", "ж"},
      {"'", "э"},
      {",", "б"},
      // The Mac Russian layout has ё on the backslash key and "]" on the
      // grave key; slash, digits and space type the same in both.
      {"\\", "ё"},
      {"`", "]"},
      {"/", "/"},
      {"7", "7"},
      {" ", " "}};
  for (const auto& [english, russian] : pairs) {
    EXPECT_EQ(lookUp(maps.enToRu, english), russian) << english;
    EXPECT_EQ(lookUp(maps.ruToEn, russian), english) << russian;
  }
  EXPECT_EQ(lookUp(maps.ruToEn, "]"), "`");
  EXPECT_EQ(lookUp(maps.enToRu, "!"), std::nullopt) << "needs Shift";
  EXPECT_EQ(lookUp(maps.enToRu, "G"), std::nullopt) << "keys are lower-case";
}

TEST_F(SelectionConverterMaps, EveryLetterOfEitherAlphabetHasAKey) {
  const auto maps = build(kUs, kRussian);
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    EXPECT_TRUE(maps.enToRu.contains(std::string(1, letter))) << letter;
  }
  // Through English and back gives the alphabet again: no two Russian letters
  // share a key.
  const std::string english = SelectionConverter::transliterate(kRussianAlphabet, maps.ruToEn);
  EXPECT_EQ(SelectionConverter::transliterate(english, maps.enToRu), kRussianAlphabet);
}

TEST_F(SelectionConverterMaps, DeadKeysStayOut) {
  const auto maps = build(kGerman, kRussian);
  // The German grave key is a dead circumflex; "]" is typed by nothing else
  // on the Russian layout.
  EXPECT_FALSE(maps.ruToEn.contains("]"));
  EXPECT_EQ(lookUp(maps.enToRu, "ß"), "-") << "the live key next to a dead one";
  for (const auto& [from, to] : maps.enToRu) {
    EXPECT_FALSE(from.empty() || to.empty());
  }
}

// A platform that types whatever it is told to, for layouts xkb has no
// example of.
class ScriptedKeys final : public InputSources {
public:
  using Texts = std::map<std::pair<std::string, KeyCode>, std::string>;
  explicit ScriptedKeys(Texts texts) : texts_(std::move(texts)) {}

  void visitKeyboardSources(bool, const SourceVisitor&) const override {}
  std::optional<InputSourceInfo> currentKeyboardSource() const override { return std::nullopt; }
  std::optional<std::string> currentKeyboardSourceIdentifier() const override {
    return std::nullopt;
  }
  bool select(std::string_view) override { return false; }
  std::optional<std::string> translateKey(std::string_view source, KeyCode key) const override {
    const auto found = texts_.find({std::string(source), key});
    return found == texts_.end() ? std::nullopt : std::optional(found->second);
  }

private:
  Texts texts_;
};

TEST(SelectionConverterMapsFromAnyLayout, AreLowerCaseAndSkipKeysWithoutACharacter) {
  const ScriptedKeys platform({
      {{"en", 0}, "A"},
      {{"ru", 0}, "Ф"},
      {{"en", 1}, "\xC4\xB0"}, // İ lower-cases to i plus a combining dot: one character
      {{"ru", 1}, "Ы"},
      {{"en", 2}, "b"},
      {{"ru", 2}, "ив"}, // two characters
      {{"en", 127}, "z"},
      {{"ru", 127}, "я"},
      {{"en", 128}, "y"},
      {{"ru", 128}, "н"},
  });
  const LayoutTranslator translator(platform);
  const auto maps = SelectionConverter::buildCharMaps(translator, "en", "ru");
  EXPECT_EQ(lookUp(maps.enToRu, "a"), "ф");
  EXPECT_EQ(lookUp(maps.ruToEn, "ф"), "a");
  EXPECT_EQ(lookUp(maps.enToRu, "i\xCC\x87"), "ы");
  EXPECT_FALSE(maps.enToRu.contains("b"));
  EXPECT_EQ(lookUp(maps.enToRu, "z"), "я");
  EXPECT_FALSE(maps.enToRu.contains("y")) << "beyond the character keys";
}

// Each map keeps the first pair of its own character, so a character typed by
// several keys maps as the lowest of them, in each direction on its own.
// Keypad keys type the same whatever the language and never count.
TEST(SelectionConverterMapsFromAnyLayout, TheLowestKeyWinsInEachMapOnItsOwn) {
  const ScriptedKeys platform({
      {{"en", 3}, "x"},
      {{"ru", 3}, "a"},
      {{"en", 4}, "y"},
      {{"ru", 4}, "a"},
      {{"en", 5}, "x"},
      {{"ru", 5}, "b"},
      {{"en", 65}, "."}, // the keypad's decimal key
      {{"ru", 65}, ","},
  });
  const LayoutTranslator translator(platform);
  const auto maps = SelectionConverter::buildCharMaps(translator, "en", "ru");
  EXPECT_EQ(lookUp(maps.enToRu, "x"), "a");
  EXPECT_EQ(lookUp(maps.enToRu, "y"), "a");
  EXPECT_EQ(lookUp(maps.ruToEn, "a"), "x");
  EXPECT_EQ(lookUp(maps.ruToEn, "b"), "x");
  EXPECT_FALSE(maps.enToRu.contains("."));
  EXPECT_FALSE(maps.ruToEn.contains(","));
}

// --- Direction ---------------------------------------------------------------

TEST(SelectionConverterDirection, OneScriptWinsOnlyByMoreThanThreeToOne) {
  const std::vector<std::pair<std::string, Direction>> cases{
      {"", Direction::undecided},
      {"2024 - 15, 7!", Direction::undecided},
      {"ghbdtn", Direction::enToRu},
      {"Привет, мир", Direction::ruToEn},
      {"Ё", Direction::ruToEn},
      {"ё", Direction::ruToEn},
      {"Ая", Direction::ruToEn},
      {"abc д", Direction::undecided},
      {"abcd д", Direction::enToRu},
      {"абв z", Direction::undecided},
      {"абвг z", Direction::ruToEn},
      {"abc де", Direction::undecided},
      // Letters outside the two basic alphabets count for neither.
      {"café", Direction::enToRu},
      {"é", Direction::undecided},
      {"ЀѐіїєґЎ", Direction::undecided},
      {"ＡＢＣ", Direction::undecided},
      // Malformed bytes are no letters: a lone lead byte, a stray
      // continuation byte, and a lead byte cut off before "А".
      {"\xD0", Direction::undecided},
      {"\x90\xB0", Direction::undecided},
      {"\xD0\xD0\x90", Direction::ruToEn},
  };
  for (const auto& [text, direction] : cases) {
    EXPECT_EQ(SelectionConverter::detectDirection(text), direction) << '"' << text << '"';
  }
}

// --- Transliteration ---------------------------------------------------------

class SelectionConverterTransliterate : public SelectionConverterMaps {
protected:
  void SetUp() override { maps = build(kUs, kRussian); }
  std::string toRussian(std::string_view text) const {
    return SelectionConverter::transliterate(text, maps.enToRu);
  }
  std::string toEnglish(std::string_view text) const {
    return SelectionConverter::transliterate(text, maps.ruToEn);
  }

  SelectionConverter::CharMaps maps;
};

TEST_F(SelectionConverterTransliterate, KeepsTheCaseOfEachLetter) {
  EXPECT_EQ(toRussian("ghbdtn"), "привет");
  EXPECT_EQ(toRussian("Ghbdtn"), "Привет");
  EXPECT_EQ(toRussian("GHBDTN"), "ПРИВЕТ");
  EXPECT_EQ(toEnglish("пРиВеТ"), "gHbDtN");
  EXPECT_EQ(toEnglish("Ёж"), "\\;") << "case is lost where the other key has none";
}

TEST_F(SelectionConverterTransliterate, LeavesWhatTheMapDoesNotKnow) {
  EXPECT_EQ(toRussian("Ghbdtn 2024! (ok?) \xF0\x9F\x99\x82"),
            "Привет 2024! (щл?) \xF0\x9F\x99\x82");
  EXPECT_EQ(toRussian("уже"), "уже");
  EXPECT_EQ(toRussian(""), "");
}

// The break iterator reads the text in place, so bytes that are not UTF-8
// come out exactly as they went in instead of as replacement characters.
TEST_F(SelectionConverterTransliterate, KeepsMalformedBytesAsTheyAre) {
  EXPECT_EQ(toRussian("g\xFFh\xD0"), "п\xFFр\xD0");
  EXPECT_EQ(toEnglish("\xC0\xAF\xD0\xBF"), "\xC0\xAFg");
}

// A mark belongs to the letter before it; the pair is one character that the
// map does not know, and it is not split to convert the letter alone.
TEST_F(SelectionConverterTransliterate, ConvertsWholeCharactersOnly) {
  EXPECT_EQ(toRussian("gb\xCC\x81"), "п"
                                     "b\xCC\x81");
}

TEST(SelectionConverterTransliterateCase, FollowsTheUnicodeDefinitionOfUpperCase) {
  const CharMap map{{"e\xCC\x81", "x"}, {"\xC7\x86", "y"}, {"a", "\xC3\x9F"}};
  // É spelt as E plus a combining acute is upper-case as a whole.
  EXPECT_EQ(SelectionConverter::transliterate("E\xCC\x81", map), "X");
  // ǅ is title-case, not upper-case.
  EXPECT_EQ(SelectionConverter::transliterate("\xC7\x85", map), "y");
  // ß upper-cases to "SS", two characters; one character must stay one.
  EXPECT_EQ(SelectionConverter::transliterate("Aa", map), "\xC3\x9F\xC3\x9F");
}

} // namespace
} // namespace quillon
