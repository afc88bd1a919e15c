#include "layout/SelectionConverter.h"
#include "support/TypingTest.h"

namespace quillon {
namespace {

constexpr KeyCode keypadDecimal = 65;
constexpr KeyCode keypad1 = 83;

// Keypad keys type the same whatever the language, so they say nothing
// about which layout a text was typed in.
class KeypadKeysTest : public TypingTest {};

TEST_F(KeypadKeysTest, KeypadKeysStayOutOfTheCharacterMaps) {
  // The keypad decimal key types "." on US and "," on the Russian layout.
  const LayoutTranslator translator(desktop.inputSources());
  ASSERT_EQ(translator.character(keypadDecimal, Russian), ",");
  const auto maps = SelectionConverter::buildCharMaps(translator, US, Russian);
  EXPECT_FALSE(maps.ruToEn.contains(","));
  EXPECT_EQ(maps.enToRu.at("."), "ю") << "the main period key still maps";

  desktop.textField().setText("да, нет.");
  desktop.textField().selectAll();
  undoShortcut();
  EXPECT_EQ(text(), "lf, ytn.");
}

TEST_F(KeypadKeysTest, AKeypadKeyEndsTheWord) {
  type("us", "xnj");
  desktop.keyboard().tap(keypad1);
  desktop.advance(Duration(0.5));
  EXPECT_EQ(text(), "что1");
  EXPECT_TRUE(tap->autoSwitcher().buffer().empty());
}

} // namespace
} // namespace quillon
