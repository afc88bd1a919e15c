#include "layout/LayoutTranslator.h"

#include "platform/sim/SimDesktop.h"
#include "support/InputSourceBuilders.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view kUs = "com.apple.keylayout.US";
constexpr std::string_view kAbc = "com.apple.keylayout.ABC";
constexpr std::string_view kBritish = "com.apple.keylayout.British";
constexpr std::string_view kRussian = "com.apple.keylayout.Russian";
constexpr std::string_view kRussianWin = "com.apple.keylayout.RussianWin";
constexpr std::string_view kUkrainian = "com.apple.keylayout.Ukrainian";
constexpr std::string_view kGerman = "com.apple.keylayout.German";

constexpr KeyCode kKeypadDecimal = 65;

class LayoutTranslatorTest : public ::testing::Test {
protected:
  void enable(const std::vector<std::string_view>& identifiers) {
    std::string error;
    ASSERT_TRUE(desktop.inputSources().setEnabledLayouts(
        std::vector<std::string>(identifiers.begin(), identifiers.end()), &error))
        << error;
  }

  void add(InputSourceInfo info, std::optional<std::string> xkbLayout = std::nullopt) {
    desktop.inputSources().addSource(std::move(info), std::move(xkbLayout));
  }

  std::optional<EnglishAndRussian> pair() const { return translator.enabledEnglishAndRussian(); }

  static EnglishAndRussian named(std::string_view en, std::string_view ru) {
    return {std::string(en), std::string(ru)};
  }

  SimDesktop desktop;
  LayoutTranslator translator{desktop.inputSources()};
};

// --- Which sources are the English and the Russian one ----------------------

TEST_F(LayoutTranslatorTest, FindsThePairWhateverElseIsListedAroundIt) {
  EXPECT_EQ(pair(), named(kUs, kRussian));

  enable({kUkrainian, kGerman, kUs, kRussian});
  EXPECT_EQ(pair(), named(kUs, kRussian)) << "Ukrainian is not Russian";

  enable({kRussian, kUs});
  EXPECT_EQ(pair(), named(kUs, kRussian)) << "list order between the two does not matter";
}

TEST_F(LayoutTranslatorTest, TheFirstSourceOfALanguageWinsAndTheOthersAreIgnored) {
  enable({kAbc, kRussianWin, kUs, kRussian});
  EXPECT_EQ(pair(), named(kAbc, kRussianWin));
}

TEST_F(LayoutTranslatorTest, NothingUnlessBothLanguagesArePresent) {
  enable({kUs, kUkrainian});
  EXPECT_EQ(pair(), std::nullopt);

  enable({kRussian});
  EXPECT_EQ(pair(), std::nullopt);

  enable({});
  EXPECT_EQ(pair(), std::nullopt);
}

TEST_F(LayoutTranslatorTest, OnlyTheExactPrimaryLanguageCodeCounts) {
  enable({kBritish, kRussian});
  EXPECT_EQ(pair(), std::nullopt) << "a regional English code is not \"en\"";

  enable({kUs});
  add(keyboardSource("secondary.ru", {"uk", "ru"}), "ru");
  add(keyboardSource("upper.ru", {"RU"}), "ru");
  EXPECT_EQ(pair(), std::nullopt) << "a second language or another spelling is not \"ru\"";
}

TEST_F(LayoutTranslatorTest, AnInputModeCountsAsALayout) {
  enable({kUs});
  add(keyboardSource("com.example.inputmethod.Russian", {"ru"}, inputsource::TypeKeyboardInputMode),
      "ru");
  EXPECT_EQ(pair(), named(kUs, "com.example.inputmethod.Russian"));
}

// Each of these, listed before a usable Russian layout, must be passed over.
TEST_F(LayoutTranslatorTest, SourcesThatCannotStandForALanguageArePassedOver) {
  struct Case {
    std::string what;
    InputSourceInfo source;
  };
  std::vector<Case> cases;
  auto unusable = [&cases](std::string what, auto change) {
    InputSourceInfo source = keyboardSource("bad.ru", {"ru"});
    change(source);
    cases.push_back({std::move(what), std::move(source)});
  };
  unusable("not select-capable", [](InputSourceInfo& s) { s.selectCapable = false; });
  unusable("select-capable unknown", [](InputSourceInfo& s) { s.selectCapable.reset(); });
  unusable("disabled", [](InputSourceInfo& s) { s.enabled = false; });
  unusable("type unknown", [](InputSourceInfo& s) { s.type.reset(); });
  unusable("palette", [](InputSourceInfo& s) { s.type = inputsource::TypeCharacterPalette; });
  unusable("input method",
           [](InputSourceInfo& s) { s.type = inputsource::TypeKeyboardInputMethod; });
  unusable("no languages", [](InputSourceInfo& s) { s.languages.clear(); });
  unusable("no identifier", [](InputSourceInfo& s) { s.identifier.reset(); });

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    enable({kUs});
    add(c.source, "ru");
    EXPECT_EQ(pair(), std::nullopt) << "the only Russian candidate";
    add(keyboardSource(std::string(kRussian), {"ru"}), "ru(mac)");
    EXPECT_EQ(pair(), named(kUs, kRussian));
  }
}

// An English source the platform cannot name can be neither translated
// through nor selected; the next English source is the usable one.
TEST_F(LayoutTranslatorTest, AnEnglishSourceWithoutIdentifierDoesNotHideTheNextOne) {
  enable({});
  InputSourceInfo nameless = keyboardSource("", {"en"});
  nameless.identifier.reset();
  add(nameless, "us");
  add(keyboardSource(std::string(kAbc), {"en"}), "us");
  add(keyboardSource(std::string(kRussian), {"ru"}), "ru(mac)");
  EXPECT_EQ(pair(), named(kAbc, kRussian));
}

// --- What a key types -------------------------------------------------------

TEST_F(LayoutTranslatorTest, KeysTypeTheUnshiftedCharacterOfTheirLayout) {
  const std::vector<std::tuple<KeyCode, std::string_view, std::string>> expected{
      {keycode::A, kUs, "a"},
      {keycode::G, kRussian, "п"},
      {keycode::Q, kRussian, "й"},
      {keycode::Comma, kRussian, "б"},
      {keycode::Period, kRussian, "ю"},
      // The Mac Russian arrangement moves punctuation around.
      {keycode::Grave, kRussian, "]"},
      {keycode::Section, kRussian, "<"},
      {keycode::Backslash, kRussian, "ё"},
      {keycode::Slash, kRussian, "/"},
      {keycode::Digit7, kRussian, "7"},
      {kKeypadDecimal, kRussian, ","},
      {keycode::Space, kRussian, " "},
  };
  for (const auto& [key, source, character] : expected) {
    EXPECT_EQ(translator.character(key, source), character) << "key " << key << " in " << source;
  }
}

TEST_F(LayoutTranslatorTest, KeysThatTypeNoSingleCharacterGiveNothing) {
  enable({kUs, kRussian, kGerman});
  add(keyboardSource("com.example.palette", {"en"}, inputsource::TypeCharacterPalette));

  EXPECT_EQ(translator.character(keycode::Equal, kGerman), std::nullopt) << "dead acute";
  EXPECT_EQ(translator.character(keycode::Grave, kGerman), std::nullopt) << "dead circumflex";
  EXPECT_EQ(translator.character(keycode::Minus, kGerman), "ß") << "its neighbour is live";
  EXPECT_EQ(translator.character(keycode::Return, kUs), std::nullopt);
  EXPECT_EQ(translator.character(keycode::Shift, kUs), std::nullopt);
  EXPECT_EQ(translator.character(keycode::F5, kUs), std::nullopt);
  EXPECT_EQ(translator.character(500, kUs), std::nullopt);
  EXPECT_EQ(translator.character(keycode::A, "com.example.palette"), std::nullopt)
      << "no layout data";
  EXPECT_EQ(translator.character(keycode::A, "com.example.missing"), std::nullopt);
}

// Real layouts rarely put more than one code point on a key, so the grapheme
// rules are checked against a platform that types whatever it is told to.
class ScriptedKeys final : public InputSources {
public:
  explicit ScriptedKeys(std::map<KeyCode, std::string> texts) : texts_(std::move(texts)) {}

  void visitKeyboardSources(bool, const SourceVisitor&) const override {}
  std::optional<InputSourceInfo> currentKeyboardSource() const override { return std::nullopt; }
  std::optional<std::string> currentKeyboardSourceIdentifier() const override {
    return std::nullopt;
  }
  bool select(std::string_view) override { return false; }
  std::optional<std::string> translateKey(std::string_view, KeyCode keyCode) const override {
    const auto found = texts_.find(keyCode);
    return found == texts_.end() ? std::nullopt : std::optional(found->second);
  }

private:
  std::map<KeyCode, std::string> texts_;
};

TEST(LayoutTranslatorCharacters, OneCharacterIsOneGraphemeClusterNotOneCodePoint) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"e\xCC\x81", true},                            // e + combining acute
      {"\xCC\x81", true},                             // a lone combining mark
      {"\xF0\x9F\x87\xB7\xF0\x9F\x87\xBA", true},     // regional-indicator flag
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", true},     // thumbs up, skin tone
      {"\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7", true}, // Devanagari conjunct
      {"\r\n", true},
      {"ab", false},
      {"\xD0\xB9\xD0\xB9", false}, // "йй"
      {"a\xCC\x81"
       "b",
       false},
      {"", false},
      {"\xFF", false},         // not UTF-8
      {"\xD0", false},         // truncated sequence
      {"a\x80", false},        // stray continuation byte
      {"\xED\xA0\x80", false}, // an encoded surrogate
  };
  std::map<KeyCode, std::string> texts;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    texts[static_cast<KeyCode>(i)] = cases[i].first;
  }
  const ScriptedKeys platform(texts);
  const LayoutTranslator translator(platform);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [text, isOne] = cases[i];
    EXPECT_EQ(translator.character(static_cast<KeyCode>(i), "any"),
              isOne ? std::optional(text) : std::nullopt)
        << "case " << i;
  }
}

} // namespace
} // namespace quillon
