#include "platform/sim/GapBuffer.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quillon {
namespace {

// Every edit against a plain string doing the same thing the slow way.
TEST(GapBufferTest, AgreesWithAPlainStringThroughRandomEdits) {
  GapBuffer buffer;
  std::string model;
  std::size_t caret = 0;
  std::mt19937 random(20261207);
  for (int step = 0; step < 5000; ++step) {
    switch (random() % 4) {
    case 0: {
      const std::string inserted(random() % 80, static_cast<char>('a' + random() % 26));
      buffer.insert(inserted);
      model.insert(caret, inserted);
      caret += inserted.size();
      break;
    }
    case 1: {
      const std::size_t count = random() % 10;
      buffer.eraseBeforeCaret(count);
      const std::size_t erased = std::min(count, caret);
      model.erase(caret - erased, erased);
      caret -= erased;
      break;
    }
    case 2:
      caret = model.empty() ? 0 : random() % (model.size() + 5);
      buffer.moveCaret(caret);
      caret = std::min(caret, model.size());
      break;
    default:
      if (random() % 50 == 0) {
        model = "fresh";
        caret = model.size();
        buffer.assign(model);
      }
      break;
    }
    ASSERT_EQ(buffer.caret(), caret);
    ASSERT_EQ(buffer.size(), model.size());
    ASSERT_EQ(buffer.beforeCaret(), std::string_view(model).substr(0, caret));
    ASSERT_EQ(buffer.afterCaret(), std::string_view(model).substr(caret));
  }
  EXPECT_EQ(buffer.text(), model);
}

class SimTextFieldTest : public ::testing::Test {
protected:
  void tap(KeyCode key, EventFlags flags = 0) {
    for (const bool down : {true, false}) {
      Event event = makeKeyboardEvent(nullptr, key, down);
      event.setFlags(flags);
      field().receive(event);
    }
  }
  void typeText(std::u16string text) {
    Event event = makeKeyboardEvent(nullptr, 0, true);
    event.setUnicodeString(std::move(text));
    field().receive(event);
  }
  SimTextField& field() { return desktop.textField(); }

  SimDesktop desktop;
};

TEST_F(SimTextFieldTest, DeleteTakesWholeCharactersWhateverComesBefore) {
  // Five regional indicators: the last stands alone, the others pair up, and
  // only counting from the start of the run can tell.
  const std::string indicator = "\U0001F1F7";
  std::string text = "x";
  for (int index = 0; index < 5; ++index) {
    text += indicator;
  }
  field().setText(text);
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "x" + indicator + indicator + indicator + indicator);
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "x" + indicator + indicator);

  // A combining mark typed after a letter joins it, so one Delete takes both.
  field().setText("ab");
  typeText(u"\u0301");
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "a");

  // Malformed bytes go one at a time and never take a neighbour with them.
  field().setText(std::string("a\xC3(\xFF", 4));
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), std::string("a\xC3(", 3));
  tap(keycode::Delete);
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "a");
  tap(keycode::Delete);
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "");
}

TEST_F(SimTextFieldTest, EditsInTheMiddleOfALongTextLandAtTheCaret) {
  std::string text;
  for (int index = 0; index < 2000; ++index) {
    text += "слово ";
  }
  field().setText(text + "e\u0301z");
  tap(keycode::LeftArrow);
  tap(keycode::LeftArrow);
  typeText(u"[");
  tap(keycode::RightArrow);
  typeText(u"]");
  EXPECT_EQ(field().text(), text + "[e\u0301]z");
  tap(keycode::Delete);
  tap(keycode::Delete);
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), text + "z");
  tap(keycode::RightArrow);
  tap(keycode::RightArrow);
  typeText(u"!");
  EXPECT_EQ(field().text(), text + "z!");
}

TEST_F(SimTextFieldTest, ASelectionIsReplacedCutOrDeletedWhole) {
  field().setText("привет");
  tap(keycode::LeftArrow);
  tap(keycode::LeftArrow);
  tap(keycode::A, flag::Command);
  EXPECT_EQ(field().selectedText(), "привет");
  tap(keycode::X, flag::Command);
  EXPECT_EQ(field().text(), "");
  EXPECT_EQ(desktop.pasteboard().string(), "привет");
  typeText(u"мир");
  tap(keycode::V, flag::Command);
  EXPECT_EQ(field().text(), "мирпривет");
  field().selectAll();
  tap(keycode::Delete);
  EXPECT_EQ(field().text(), "");
  tap(keycode::Delete);
  tap(keycode::LeftArrow);
  tap(keycode::RightArrow);
  EXPECT_EQ(field().text(), "");
}

} // namespace
} // namespace quillon
