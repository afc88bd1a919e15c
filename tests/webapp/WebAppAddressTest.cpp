#include "webapp/WebAppAddress.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(WebAppAddressTest, NormalisesWhatTheUserTyped) {
  EXPECT_EQ(normalizeAddress("example.com"), "https://example.com");
  EXPECT_EQ(normalizeAddress(" \texample.com/path?q=1\t "), "https://example.com/path?q=1");
  // An address with a scheme stays exactly as typed, whatever the scheme.
  EXPECT_EQ(normalizeAddress("http://example.com"), "http://example.com");
  EXPECT_EQ(normalizeAddress("ftp://files.example.com"), "ftp://files.example.com");
  for (const char* unusable : {"", "   ", "https://", " https:// ", "exa mple.com", "a\nb"}) {
    EXPECT_EQ(normalizeAddress(unusable), std::nullopt) << unusable;
  }
}

TEST(WebAppAddressTest, NameFallsBackToTheHostWithoutEveryWww) {
  EXPECT_EQ(webAppName("", "https://example.com"), "example.com");
  EXPECT_EQ(webAppName("  ", "https://www.example.com/x"), "example.com");
  // A plain replacement, wherever "www." stands.
  EXPECT_EQ(webAppName("", "https://mail.www.example.com"), "mail.example.com");
  EXPECT_EQ(webAppName("", "https://user@www.example.com:8443/"), "example.com");
  EXPECT_EQ(webAppName("", "mailto://"), "Web App");
  // A typed name is kept, only trimmed.
  EXPECT_EQ(webAppName(" www.My App ", "https://example.com"), "www.My App");
}

TEST(WebAppAddressTest, SanitizeKeepsLettersDigitsAndMarksOfEveryScript) {
  EXPECT_EQ(sanitize("My Web App"), "My_Web_App");
  EXPECT_EQ(sanitize("Почта 2"), "Почта_2");
  // A combining accent is a mark and stays with its letter.
  EXPECT_EQ(sanitize("Cafe\u0301!"), "Cafe\u0301_");
  EXPECT_EQ(sanitize("!!! ..."), "WebApp");
  EXPECT_EQ(sanitize(""), "WebApp");
  EXPECT_EQ(sanitize("../../etc"), "______etc");
  // Malformed UTF-8 becomes underscores rather than reaching a file name.
  EXPECT_EQ(sanitize("a\xFF"
                     "b"),
            "a_b");
}

TEST(WebAppAddressTest, NamesThatWouldLeaveTheirFolderAreRefused) {
  for (const char* hostile : {".", "..", "a/b", "../../x", "/etc", "tab\there", "nul\x7f"}) {
    EXPECT_TRUE(unsafeBundleNameReason(hostile).has_value()) << hostile;
  }
  for (const char* fine : {"My App", "...", "Почта", "it's \"quoted\"", "back\\slash"}) {
    EXPECT_FALSE(unsafeBundleNameReason(fine).has_value()) << fine;
  }
}

TEST(WebAppAddressTest, UrlPartsNameSchemeAndHost) {
  const auto parts = parseUrlParts("http://[::1]:8080/x");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->scheme, "http");
  EXPECT_EQ(parts->host, "[::1]");
  EXPECT_EQ(parseUrlParts("https://")->host, std::nullopt);
  EXPECT_EQ(parseUrlParts("not a url"), std::nullopt);
}

} // namespace
} // namespace quillon
