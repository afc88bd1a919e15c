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

TEST(WebAppAddressTest, OnlyASchemeAtTheStartMakesAnAddressAbsolute) {
  EXPECT_EQ(normalizeAddress("example.com/login?next=https://example.com/home"),
            "https://example.com/login?next=https://example.com/home");
  EXPECT_EQ(normalizeAddress("example.com/?a=b://c"), "https://example.com/?a=b://c");
  EXPECT_EQ(normalizeAddress("HTTP://example.com"), "HTTP://example.com");
  EXPECT_EQ(normalizeAddress("svn+ssh://host/repo"), "svn+ssh://host/repo");
}

TEST(WebAppAddressTest, InternationalHostsBecomeTheirAsciiForm) {
  EXPECT_EQ(normalizeAddress("https://пример.рф"), "https://xn--e1afmkfd.xn--p1ai");
  EXPECT_EQ(normalizeAddress("exämple.com/straße?q=ж"),
            "https://xn--exmple-cua.com/stra%C3%9Fe?q=%D0%B6");
  EXPECT_EQ(normalizeAddress("https://user@почта.рф:8443/"),
            "https://user@xn--80a1acny.xn--p1ai:8443/");
  // Upper case and full-width forms are mapped the way browsers map them.
  EXPECT_EQ(normalizeAddress("https://ПРИМЕР.рф"), "https://xn--e1afmkfd.xn--p1ai");
  // A host with no valid form stays refused.
  EXPECT_EQ(normalizeAddress("https://a\u200Db.рф"), std::nullopt);
  EXPECT_EQ(normalizeAddress("https://ex ämple.com"), std::nullopt);
  // The name reads as the user wrote the host.
  EXPECT_EQ(webAppName("", "https://www.xn--e1afmkfd.xn--p1ai/"), "пример.рф");
}

TEST(WebAppAddressTest, NameFallsBackToTheHostWithoutEveryWww) {
  EXPECT_EQ(webAppName("", "https://example.com"), "example.com");
  EXPECT_EQ(webAppName("  ", "https://www.example.com/x"), "example.com");
  // A plain replacement, wherever "www." stands.
  EXPECT_EQ(webAppName("", "https://mail.www.example.com"), "mail.example.com");
  EXPECT_EQ(webAppName("", "https://user@www.example.com:8443/"), "example.com");
  EXPECT_EQ(webAppName("", "mailto://"), "Web App");
  // Nothing left of the host is no name either.
  EXPECT_EQ(webAppName("", "https://www./"), "Web App");
  EXPECT_EQ(webAppName("", "https://www.www./"), "Web App");
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
