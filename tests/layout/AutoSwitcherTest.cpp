#include "support/TypingTest.h"

#include <algorithm>

namespace quillon {
namespace {

class AutoSwitcherTest : public TypingTest {};

TEST_F(AutoSwitcherTest, WrongLayoutKnownWordIsRetypedWithTheSourceSwitched) {
  type("us", "xnj ");
  EXPECT_EQ(text(), "что ");
  EXPECT_EQ(source(), Russian);
  EXPECT_EQ(desktop.sound().takePlayed(), std::vector<std::string>{"Pop"});
  EXPECT_TRUE(logged("Quillon autoswitch: dictionary match alt length=3 — switching"));
  // And back: English typed on the Russian layout.
  type("ru(mac)", "еру ");
  EXPECT_EQ(text(), "что the ");
  EXPECT_EQ(source(), US);
}

TEST_F(AutoSwitcherTest, RightLayoutWordsShortWordsAndAcronymsStay) {
  type("us", "the ");
  type("us", "gh ");  // two keys: too short to judge by score
  type("us", "DFP "); // an acronym, whatever it reads as
  type("us", "Ghbdtn");
  type("us", " ");
  EXPECT_EQ(text(), "the gh DFP Привет ");
  EXPECT_FALSE(loggedContaining("word length=2"));
}

TEST_F(AutoSwitcherTest, ScoresDecideUnknownWordsAndHyphensHalveTheGap) {
  type("us", "ghbdtn ");
  EXPECT_EQ(text(), "привет ");
  EXPECT_TRUE(logged("Quillon autoswitch: word length=6 score=0.06 vs alt score=3.33 "
                     "(need gap≥1.0)"));
  ASSERT_TRUE(desktop.inputSources().select(US));
  type("us", "rnj-nj ");
  EXPECT_TRUE(loggedContaining("(need gap≥0.5)"));
}

TEST_F(AutoSwitcherTest, TrailingPeriodIsALetterOnlyForDictionaryWords) {
  // The period key is "ю" on the Russian layout: "знаю" as a whole.
  type("us", "pyf. ");
  EXPECT_EQ(text(), "знаю ");
  EXPECT_TRUE(logged(
      "Quillon autoswitch: dictionary match alt length=4 (trailing punct as letter) — switching"));
  desktop.textField().clear();
  ASSERT_TRUE(desktop.inputSources().select(US));
  // Not a word with "ю": the period stays punctuation after the retyped word.
  type("us", "ghbdtn. ");
  EXPECT_EQ(text(), "привет. ");
}

// Nothing typed may reach the log: X11 has no secure input, so a password
// goes through the engine like any word, and so do its undo and conversion.
TEST_F(AutoSwitcherTest, TypedTextNeverReachesTheLog) {
  const std::vector<std::string> typed = {"tr0ub4dorsecret", "ghbdtn", "привет", "xnj", "что"};
  type("us", "tr0ub4dorsecret ");
  type("us", "ghbdtn ");
  undoShortcut();
  type("us", "xnj ");
  ASSERT_TRUE(desktop.inputSources().select(US));
  type("us", "ghbdtn");
  undoShortcut();
  ASSERT_EQ(text(), "tr0ub4dorsecret ghbdtn что привет");
  ASSERT_TRUE(loggedContaining("word length=15"));
  for (const std::string& line : desktop.log().lines()) {
    for (const std::string& word : typed) {
      EXPECT_EQ(line.find(word), std::string::npos) << line;
    }
  }
}

TEST_F(AutoSwitcherTest, APauseStartsANewWord) {
  type("us", "ghbd");
  desktop.advance(Duration(3.1));
  type("us", "tn ");
  EXPECT_EQ(text(), "ghbdtn ");
  EXPECT_EQ(source(), US);
}

TEST_F(AutoSwitcherTest, ReturnArrivesAfterTheRetypedWord) {
  type("us", "xnj");
  press({}, keycode::Return);
  EXPECT_EQ(text(), "что\n");
  const auto events = desktop.textField().deliveredEvents().copy();
  const auto lastReturn =
      std::find_if(events.rbegin(), events.rend(), [](const DeliveredEvent& event) {
        return event.type == EventType::KeyDown && event.keyCode == keycode::Return;
      });
  ASSERT_NE(lastReturn, events.rend());
  EXPECT_TRUE(lastReturn->marked);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const DeliveredEvent& event) {
                            return event.type == EventType::KeyDown &&
                                   event.keyCode == keycode::Return;
                          }),
            1);
}

TEST_F(AutoSwitcherTest, SlashCommandOnTheRussianLayoutBecomesEnglish) {
  ASSERT_TRUE(desktop.inputSources().select(Russian));
  type("ru(mac)", "/рудз ");
  EXPECT_EQ(text(), "/help ");
  EXPECT_EQ(source(), US);
  EXPECT_TRUE(logged("Quillon autoswitch: slash-command flip, length=4"));
}

TEST_F(AutoSwitcherTest, DigitsEndAnEmptyWordButBelongInsideOne) {
  type("us", "2xnj ");
  EXPECT_EQ(text(), "2что ");
  desktop.textField().clear();
  ASSERT_TRUE(desktop.inputSources().select(US));
  type("us", "xn2j ");
  EXPECT_TRUE(loggedContaining("word length=4"));
}

TEST_F(AutoSwitcherTest, CommandBackslashUndoesTheSwitchRightAfterIt) {
  type("us", "xnj ");
  ASSERT_EQ(text(), "что ");
  press({keycode::Command}, keycode::Backslash);
  EXPECT_EQ(text(), "xnj ");
  EXPECT_EQ(source(), US);
  EXPECT_TRUE(logged("Quillon autoswitch: undo via Cmd+\\ — restoring length=4"));
  // A second press does not redo.
  press({keycode::Command}, keycode::Backslash);
  EXPECT_EQ(text(), "xnj ");
}

TEST_F(AutoSwitcherTest, AnyOtherKeyEndsTheUndoWindow) {
  type("us", "xnj ");
  press({}, keycode::LeftArrow);
  press({keycode::Command}, keycode::Backslash);
  EXPECT_EQ(text(), "что ");
  EXPECT_EQ(source(), Russian);
  EXPECT_FALSE(loggedContaining("undo via"));
}

TEST_F(AutoSwitcherTest, CommandBackslashConvertsTheWordBeingTyped) {
  type("us", "Ghbdtn,");
  press({keycode::Command}, keycode::Backslash);
  EXPECT_EQ(text(), "Приветб");
  EXPECT_EQ(source(), Russian);
  EXPECT_TRUE(logged("Quillon autoswitch: FORCE convert, length=7"));
}

TEST_F(AutoSwitcherTest, SwitchedOffOrWithoutAPairNothingIsCorrected) {
  settings.set(false, Settings::Key::autoSwitchLayoutEnabled);
  type("us", "xnj ");
  EXPECT_EQ(text(), "xnj ");
  settings.set(true, Settings::Key::autoSwitchLayoutEnabled);
  std::string error;
  ASSERT_TRUE(desktop.inputSources().setEnabledLayouts(
      {"com.apple.keylayout.US", "com.apple.keylayout.German"}, &error));
  type("us", "xnj ");
  EXPECT_EQ(text(), "xnj xnj ");
  EXPECT_TRUE(logged("Quillon autoswitch: EN+RU pair not found — buffer cleared"));
}

class SelectionConversionTest : public AutoSwitcherTest {
protected:
  static PasteboardItem item(std::initializer_list<std::pair<std::string, std::string>> types) {
    PasteboardItem result;
    for (const auto& [type, data] : types) {
      result.representations.emplace(type, PropertyData(data.begin(), data.end()));
    }
    return result;
  }
};

TEST_F(SelectionConversionTest, SelectionIsConvertedAndEveryPasteboardItemComesBack) {
  const std::vector<PasteboardItem> userContents{
      item({{"public.utf8-plain-text", "kept"}, {"public.rtf", "{\\rtf1 kept}"}}),
      item({{"public.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10)}}),
      item({{"public.file-url", "file:///Users/me/report.pdf"}})};
  desktop.pasteboard().clearContents();
  desktop.pasteboard().writeItems(userContents);
  desktop.textField().setText("Ghbdtn vbh 42!");
  desktop.textField().selectAll();

  pressChord({keycode::Command}, keycode::Backslash);
  desktop.advance(Duration(0.12));
  EXPECT_EQ(text(), "Привет мир 42!");
  EXPECT_EQ(source(), Russian);
  EXPECT_NE(desktop.pasteboard().items(), userContents) << "restored only after the paste window";
  desktop.advance(Duration(0.15));
  EXPECT_EQ(desktop.pasteboard().items(), userContents);
}

TEST_F(SelectionConversionTest, MixedScriptsAreLeftAloneWithoutTheFallback) {
  type("us", "ghb");
  desktop.textField().setText("abcде");
  desktop.textField().selectAll();
  press({keycode::Command}, keycode::Backslash);
  EXPECT_EQ(text(), "abcде");
  EXPECT_EQ(source(), US);
  EXPECT_FALSE(loggedContaining("FORCE convert"));
  EXPECT_FALSE(desktop.pasteboard().string());
}

TEST_F(SelectionConversionTest, ASecondPressDuringAConversionCannotLoseTheClipboard) {
  desktop.pasteboard().setString("precious");
  desktop.textField().setText("ghbdtn");
  desktop.textField().selectAll();
  pressChord({keycode::Command}, keycode::Backslash);
  desktop.advance(Duration(0.05));
  pressChord({keycode::Command}, keycode::Backslash);
  desktop.advance(Duration(1));
  EXPECT_EQ(desktop.pasteboard().string(), "precious");
  EXPECT_EQ(text(), "привет");
  EXPECT_TRUE(logged("Quillon: selection conversion already running — ignored"));
}

} // namespace
} // namespace quillon
