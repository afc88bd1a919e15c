#include "text/LogLine.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(LogLineTest, ControlCharactersAndBrokenBytesBecomeVisibleEscapes) {
  // A name that tries to pass for a line of its own.
  EXPECT_EQ(printableLogLine("✓ Work\nQuillon: quit (1 items)"),
            "✓ Work\\nQuillon: quit (1 items)");
  EXPECT_EQ(printableLogLine("Icon\r\t\x1b[2J\x7f"), "Icon\\r\\t\\x1B[2J\\x7F");
  // A lone continuation byte and a truncated sequence, each byte shown.
  EXPECT_EQ(printableLogLine("a\x80z \xd0"), "a\\x80z \\xD0");
  // Line breaks outside ASCII: next line, and the line separator.
  EXPECT_EQ(printableLogLine("x\xc2\x85y\xe2\x80\xa8z"), "x\\u0085y\\u2028z");
}

TEST(LogLineTest, OrdinaryTextIsWrittenAsItIs) {
  for (const std::string_view line :
       {"Quillon: undo on Cmd+\\ → привет", "Quillon snap: (0.0, 25.0, 720.5, 875.0)", "",
        "emoji 🙂 and ё"}) {
    EXPECT_EQ(printableLogLine(line), line);
  }
}

} // namespace
} // namespace quillon
