#include "platform/linux/XkbRegistry.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(XkbRegistryTest, GivesEachLayoutItsLanguageAndNothingForAnUnknownOne) {
  std::string error;
  const auto languages = registryLanguages(
      {{"us", ""}, {"ru", ""}, {"us", "dvorak"}, {"no-such-layout", ""}, {"us", "no-such"}}, error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(languages.size(), 5u);
  EXPECT_EQ(languages[0], "eng");
  EXPECT_EQ(languages[1], "rus");
  EXPECT_EQ(languages[2], "eng");
  EXPECT_EQ(languages[3], std::nullopt);
  EXPECT_EQ(languages[4], std::nullopt);
}

} // namespace
} // namespace quillon
