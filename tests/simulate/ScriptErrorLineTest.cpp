#include "simulate/ScriptRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

using namespace std::string_literals;

constexpr std::size_t kEchoedBytes = 200;

std::vector<std::string> printedLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream printed(output);
  for (std::string line; std::getline(printed, line);) {
    lines.push_back(line);
  }
  return lines;
}

// An error line is plain printable text up to its first quote; from there on, whatever
// it echoes must be whole JSON string literals of at most the echoed length.
::testing::AssertionResult isSafeErrorLine(const std::string& line) {
  constexpr std::string_view kPrefix = "error: ";
  if (!line.starts_with(kPrefix)) {
    return ::testing::AssertionFailure() << "not an error line";
  }
  std::string_view rest = std::string_view(line).substr(kPrefix.size());
  while (!rest.empty()) {
    const std::size_t quote = rest.find('"');
    for (const char c : rest.substr(0, quote)) {
      if (c < 0x20 || c > 0x7E) {
        return ::testing::AssertionFailure() << "raw byte outside quotes";
      }
    }
    if (quote == std::string_view::npos) {
      break;
    }
    std::size_t end = quote + 1;
    while (end < rest.size() && rest[end] != '"') {
      end += rest[end] == '\\' ? 2 : 1;
    }
    if (end >= rest.size()) {
      return ::testing::AssertionFailure() << "unterminated literal";
    }
    const std::string literal(rest.substr(quote, end + 1 - quote));
    const nlohmann::json parsed = nlohmann::json::parse(literal, nullptr, false);
    if (!parsed.is_string()) {
      return ::testing::AssertionFailure() << "not a JSON string: " << literal;
    }
    // A cut through a character may print one U+FFFD (three bytes) in its place.
    if (parsed.get<std::string>().size() > kEchoedBytes + 2) {
      return ::testing::AssertionFailure() << "echo longer than " << kEchoedBytes << " bytes";
    }
    rest.remove_prefix(end + 1);
  }
  return ::testing::AssertionSuccess();
}

TEST(ScriptErrorLineTest, HostileArgumentsAreEchoedOnlyAsShortJsonLiterals) {
  const std::string megabyte(1 << 20, 'q');
  const std::vector<std::string> hostile = {
      "nul\0byte"s, "bad\xff\xfe utf8", "quote\" and \\ backslash\ttab", "\x01\x1b[31m", megabyte,
  };
  std::string script;
  for (const std::string& argument : hostile) {
    script += "layouts " + argument + "\n";
    script += "layouts com.apple.keylayout.US," + argument + "\n";
    script += "press " + argument + "\n";
    script += "press cmd+" + argument + "\n";
    script += "press " + argument + "+a\n";
    script += "press a+" + argument + "\n";
    script += "keys " + argument + " text\n";
  }
  // Characters no key types, in a layout that exists.
  script += "keys us \x01\n";
  script += "keys us a\0b\n"s;
  script += "keys us \x1b\n";
  script += "keys us \xf0\x9f\x98\x80\n";
  script += "source\n";

  SimDesktop desktop;
  std::ostringstream out;
  ScriptRunner runner(desktop, out);
  std::istringstream in(script);
  runner.run(in);

  const std::vector<std::string> lines = printedLines(out.str());
  ASSERT_EQ(lines.size(), hostile.size() * 7 + 4 + 1);
  for (std::size_t index = 0; index + 1 < lines.size(); ++index) {
    EXPECT_TRUE(isSafeErrorLine(lines[index])) << index << ": " << lines[index].substr(0, 300);
  }
  EXPECT_EQ(lines.back(), "\"com.apple.keylayout.US\"");
  EXPECT_LT(out.str().size(), 64U * 1024U);
}

TEST(ScriptErrorLineTest, NamesWhatWasWrongWithTheArgumentQuoted) {
  SimDesktop desktop;
  std::ostringstream out;
  ScriptRunner runner(desktop, out);
  std::istringstream in("layouts com.apple.keylayout.Nope\npress hyper+a\npress ctrl+@@\n"
                        "keys klingon hi\nkeys us \xc3\xa9\n");
  runner.run(in);
  EXPECT_EQ(printedLines(out.str()),
            (std::vector<std::string>{
                R"(error: layouts: unknown keyboard layout "com.apple.keylayout.Nope")",
                R"(error: press: unknown modifier "hyper")",
                R"(error: press: unknown key "@@")",
                R"(error: keys: unknown layout "klingon")",
                R"(error: keys: no key of "us" types "é")",
            }));
}

} // namespace
} // namespace quillon
