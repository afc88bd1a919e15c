#include "platform/sim/VirtualRunLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

class VirtualRunLoopTest : public ::testing::Test {
protected:
  double elapsed() const { return std::chrono::duration<double>(clock.now() - start).count(); }

  VirtualClock clock;
  VirtualRunLoop loop{clock};
  TimePoint start = clock.now();
  std::vector<std::string> order;
};

TEST_F(VirtualRunLoopTest, RunsTasksByDueTimeThenBySchedulingOrder) {
  loop.asyncAfter(Duration(0.2), [&] { order.push_back("b@0.2"); });
  loop.asyncAfter(Duration(0.1), [&] { order.push_back("a@0.1"); });
  loop.async([&] { order.push_back("now1"); });
  loop.async([&] {
    order.push_back("now2");
    loop.async([&] { order.push_back("queued-by-now2"); });
  });
  loop.asyncAfter(Duration(0.2), [&] { order.push_back("c@0.2"); });

  loop.runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"now1", "now2", "queued-by-now2"}));
  loop.advance(Duration(0.15));
  EXPECT_DOUBLE_EQ(elapsed(), 0.15);
  loop.advance(Duration(1));
  EXPECT_EQ(order, (std::vector<std::string>{"now1", "now2", "queued-by-now2", "a@0.1", "b@0.2",
                                             "c@0.2"}));
  EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualRunLoopTest, RepeatingTimerTicksUntilItsHandleGoes) {
  std::vector<double> ticks;
  {
    ScheduledTask timer =
        loop.scheduleRepeating(Duration(1.5), [&] { ticks.push_back(elapsed()); });
    loop.advance(Duration(4.6));
    EXPECT_EQ(ticks, (std::vector<double>{1.5, 3.0, 4.5}));
  }
  loop.advance(Duration(10));
  EXPECT_EQ(ticks.size(), 3u);
}

TEST_F(VirtualRunLoopTest, TimerCanCancelItselfFromItsOwnTick) {
  int ticks = 0;
  ScheduledTask timer;
  timer = loop.scheduleRepeating(Duration(1), [&] {
    if (++ticks == 2) {
      timer.cancel();
    }
  });
  loop.advance(Duration(10));
  EXPECT_EQ(ticks, 2);
}

TEST_F(VirtualRunLoopTest, SleepInsideATaskMovesTimeButRunsNothing) {
  loop.async([&] {
    clock.sleep(Duration(0.5));
    order.push_back("slept");
  });
  loop.asyncAfter(Duration(0.1), [&] { order.push_back("timer"); });
  loop.advance(Duration(0.05));
  // The timer fell due while the main thread slept: it runs after, late.
  EXPECT_EQ(order, (std::vector<std::string>{"slept", "timer"}));
  EXPECT_DOUBLE_EQ(elapsed(), 0.5);
}

TEST_F(VirtualRunLoopTest, CancelledOneShotNeverRuns) {
  ScheduledTask task = loop.scheduleAfter(Duration(1), [&] { order.push_back("ran"); });
  EXPECT_TRUE(task.isScheduled());
  task.cancel();
  loop.advance(Duration(2));
  EXPECT_TRUE(order.empty());
}

// Days of waiting add up past what the clock can hold: it stops at its latest
// time instead of wrapping round to the distant past.
TEST_F(VirtualRunLoopTest, TimeStopsAtItsLatestValueAndNothingWraps) {
  const TimePoint nearTheEnd = VirtualClock::latest - std::chrono::seconds(1);
  clock.advanceTo(nearTheEnd);
  const WallTime wallBefore = clock.wallNow();
  std::vector<double> ticks;
  ScheduledTask timer = loop.scheduleRepeating(
      Duration(0.4), [&] { ticks.push_back(Duration(clock.now() - nearTheEnd).count()); });
  loop.asyncAfter(Duration(0.9), [&] { order.push_back("within the last second"); });
  loop.asyncAfter(Duration(2), [&] { order.push_back("past the end"); });

  loop.advance(Duration(86400));
  EXPECT_TRUE(clock.hasReachedLatest());
  EXPECT_EQ(clock.now(), VirtualClock::latest);
  EXPECT_EQ(ticks, (std::vector<double>{0.4, 0.8}));
  EXPECT_EQ(order, std::vector<std::string>{"within the last second"});
  EXPECT_GE(clock.wallNow(), wallBefore);

  // Time stands still, and work due at once still runs.
  loop.advance(Duration(86400));
  clock.sleep(Duration(1));
  loop.async([&] { order.push_back("now"); });
  loop.asyncAfter(Duration(0.001), [&] { order.push_back("later"); });
  loop.advance(Duration(1e300));
  EXPECT_EQ(clock.now(), VirtualClock::latest);
  EXPECT_EQ(order, (std::vector<std::string>{"within the last second", "now"}));
  EXPECT_EQ(ticks.size(), 2u);
}

} // namespace
} // namespace quillon
