#include "platform/linux/LinuxMainQueue.h"

#include "platform/linux/LinuxInputSources.h"
#include "platform/linux/ThreadBackgroundQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <glib.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace std::chrono_literals;

// Runs the default context until the condition holds or a second passes.
bool runUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 1s;
  while (!condition() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
  }
  return condition();
}

TEST(LinuxMainQueueTest, TasksRunInOrderAndTimersAfterTheirDelay) {
  LinuxMainQueue queue;
  std::vector<std::string> ran;
  queue.asyncAfter(Duration(0.02), [&] { ran.push_back("late"); });
  queue.async([&] { ran.push_back("first"); });
  queue.async([&] { ran.push_back("second"); });
  ASSERT_TRUE(runUntil([&] { return ran.size() == 3; }));
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "late"}));
}

TEST(LinuxMainQueueTest, ACancelledOrDroppedTaskNeverRunsAndCancellingTwiceIsHarmless) {
  LinuxMainQueue queue;
  bool cancelledRan = false;
  bool droppedRan = false;
  bool markerRan = false;
  ScheduledTask cancelled = queue.scheduleAfter(Duration(0.01), [&] { cancelledRan = true; });
  {
    ScheduledTask dropped = queue.scheduleAfter(Duration(0.01), [&] { droppedRan = true; });
  }
  cancelled.cancel();
  cancelled.cancel();
  queue.asyncAfter(Duration(0.03), [&] { markerRan = true; });
  ASSERT_TRUE(runUntil([&] { return markerRan; }));
  EXPECT_FALSE(cancelledRan);
  EXPECT_FALSE(droppedRan);
}

TEST(LinuxMainQueueTest, ARepeatingTimerRepeatsUntilItsHandleGoes) {
  LinuxMainQueue queue;
  int ticks = 0;
  {
    ScheduledTask repeating = queue.scheduleRepeating(Duration(0.005), [&] { ++ticks; });
    ASSERT_TRUE(runUntil([&] { return ticks >= 3; }));
  }
  const int stoppedAt = ticks;
  bool markerRan = false;
  queue.asyncAfter(Duration(0.03), [&] { markerRan = true; });
  ASSERT_TRUE(runUntil([&] { return markerRan; }));
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(LinuxMainQueueTest, BackgroundWorkHandsItsResultBackToTheMainQueue) {
  LinuxMainQueue queue;
  ThreadBackgroundQueue background;
  std::thread::id workedOn;
  std::thread::id answeredOn;
  background.async([&] {
    workedOn = std::this_thread::get_id();
    queue.async([&] { answeredOn = std::this_thread::get_id(); });
  });
  ASSERT_TRUE(runUntil([&] { return answeredOn != std::thread::id(); }));
  EXPECT_NE(workedOn, std::this_thread::get_id());
  EXPECT_EQ(answeredOn, std::this_thread::get_id());
}

TEST(LinuxInputSourcesNamingTest, UsAndRuKeepTheNamesTheLogicKnowsAndOthersAreNamedByXkb) {
  EXPECT_EQ(LinuxInputSources::identifierFor("us", ""), "com.apple.keylayout.US");
  EXPECT_EQ(LinuxInputSources::identifierFor("ru", ""), "com.apple.keylayout.Russian");
  EXPECT_EQ(LinuxInputSources::identifierFor("de", ""), "xkb:de");
  EXPECT_EQ(LinuxInputSources::identifierFor("us", "dvorak"), "xkb:us(dvorak)");
  EXPECT_EQ(LinuxInputSources::twoLetterLanguage("eng"), "en");
  EXPECT_EQ(LinuxInputSources::twoLetterLanguage("rus"), "ru");
  // An unknown code stays as it is rather than being taken for another.
  EXPECT_EQ(LinuxInputSources::twoLetterLanguage("xyz"), "xyz");
}

} // namespace
} // namespace quillon
