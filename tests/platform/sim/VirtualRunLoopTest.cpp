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

} // namespace
} // namespace quillon
