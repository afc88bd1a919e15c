#include "simulate/ScriptRunner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillon {
namespace {

// About 106,000 waits of a day each reach the clock's latest time; starting
// two days short of it shows the same without the hours.
TEST(WaitCommandTest, TheEndOfVirtualTimeIsReportedOnceAndTimeStandsStill) {
  SimDesktop desktop;
  std::ostringstream out;
  ScriptRunner runner{desktop, out};
  runner.runLine("wait 0");
  desktop.clock().advanceTo(VirtualClock::latest - std::chrono::hours(36));
  for (int day = 0; day < 4; ++day) {
    runner.runLine("wait 86400");
  }
  runner.runLine("keys us a");
  EXPECT_EQ(out.str(), "error: wait: virtual time has reached its latest value and stands still\n");
  EXPECT_EQ(desktop.clock().now(), VirtualClock::latest);
  EXPECT_EQ(desktop.textField().text(), "a");
}

} // namespace
} // namespace quillon
