#include "webapp/UrlSyntax.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

namespace quillon {
namespace {

// Views that end inside a larger buffer whose next bytes would complete the escape: an
// escape check that looks one byte too far would accept them.
TEST(UrlSyntaxTest, AnEscapeCutShortByTheEndOfTheViewIsRefused) {
  const std::string buffer = "https://example.com/a%41";
  const std::string_view whole(buffer);
  EXPECT_TRUE(isParseableUrl(whole));
  EXPECT_FALSE(isParseableUrl(whole.substr(0, whole.size() - 1)));
  EXPECT_FALSE(isParseableUrl(whole.substr(0, whole.size() - 2)));
  EXPECT_FALSE(isParseableUrl(whole.substr(whole.size() - 3, 2)));
  EXPECT_FALSE(isParseableUrl(whole.substr(whole.size() - 3, 1)));
}

// The same, with nothing at all after the view, so that the sanitizers see any read past it.
TEST(UrlSyntaxTest, ReadsNothingPastTheEndOfTheText) {
  for (const std::string_view text : {"%", "%4", "a%4", "a%"}) {
    const auto exact = std::make_unique<char[]>(text.size());
    text.copy(exact.get(), text.size());
    EXPECT_FALSE(isParseableUrl(std::string_view(exact.get(), text.size()))) << text;
  }
  const auto exact = std::make_unique<char[]>(3);
  std::string_view("%4f").copy(exact.get(), 3);
  EXPECT_TRUE(isParseableUrl(std::string_view(exact.get(), 3)));
}

} // namespace
} // namespace quillon
