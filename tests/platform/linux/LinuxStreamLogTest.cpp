#include "platform/linux/StreamLog.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillon {
namespace {

TEST(LinuxStreamLogTest, EachCallIsOneLineWhateverItQuotes) {
  std::ostringstream out;
  StreamLog log(out);
  log.write("Quillon DesktopFolderIcons: ✓ Work\nQuillon: quit (2 items)");
  log.write("Quillon: next");
  EXPECT_EQ(out.str(),
            "Quillon DesktopFolderIcons: ✓ Work\\nQuillon: quit (2 items)\nQuillon: next\n");
}

} // namespace
} // namespace quillon
