#include "text/Unicode.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(UnicodeTest, CharactersAreWholeClustersAndExactSlices) {
  const std::string text = "e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467\U0001F1F7\U0001F1FAa";
  std::vector<std::string> slices;
  ASSERT_TRUE(forEachCharacter(text, [&](std::string_view slice) { slices.emplace_back(slice); }));
  EXPECT_EQ(slices,
            (std::vector<std::string>{"e\u0301", "\U0001F468\u200D\U0001F469\u200D\U0001F467",
                                      "\U0001F1F7\U0001F1FA", "a"}));
  EXPECT_EQ(characterCount(text), 4u);

  // Plain ASCII takes a shorter road to the same answer.
  slices.clear();
  ASSERT_TRUE(
      forEachCharacter("a\r\n\n\rb", [&](std::string_view slice) { slices.emplace_back(slice); }));
  EXPECT_EQ(slices, (std::vector<std::string>{"a", "\r\n", "\n", "\r", "b"}));

  // Malformed bytes stay in the slices as they were: nothing is lost.
  const std::string malformed("a\xC3(b\xFF", 5);
  std::string rejoined;
  forEachCharacter(malformed, [&](std::string_view slice) { rejoined += slice; });
  EXPECT_EQ(rejoined, malformed);
  EXPECT_FALSE(decodeUtf8(malformed));
  EXPECT_EQ(decodeUtf8("ё\U0001F600"), (std::u32string{U'ё', U'\U0001F600'}));
  EXPECT_EQ(encodeUtf8(U'ё'), "ё");
}

TEST(UnicodeTest, CaseMappingIsFullAndLocaleIndependent) {
  EXPECT_EQ(uppercased("straße"), "STRASSE");
  EXPECT_EQ(uppercased("ёлка"), "ЁЛКА");
  EXPECT_EQ(lowercased("İ"), "i\u0307");
  EXPECT_EQ(uppercased("i"), "I");
}

TEST(UnicodeTest, DeleteAndArrowsInTheFieldMoveByWholeCharacters) {
  SimDesktop desktop;
  desktop.textField().setText("ae\u0301\U0001F468\u200D\U0001F469");
  desktop.keyboard().tap(keycode::Delete);
  EXPECT_EQ(desktop.textField().text(), "ae\u0301");
  desktop.keyboard().tap(keycode::LeftArrow);
  desktop.keyboard().tap(keycode::Delete);
  EXPECT_EQ(desktop.textField().text(), "e\u0301");
  desktop.keyboard().tap(keycode::RightArrow);
  desktop.keyboard().tap(keycode::Delete);
  EXPECT_EQ(desktop.textField().text(), "");
}

} // namespace
} // namespace quillon
