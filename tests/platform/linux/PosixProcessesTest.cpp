#include "platform/linux/PosixProcesses.h"

#include <gtest/gtest.h>

#include <future>

namespace quillon {
namespace {

TEST(PosixChildTest, BothStreamsAreReadWhateverTheirSize) {
  PosixProcesses processes;
  // More than a pipe holds on each stream, written alternately: reading one
  // to the end before the other would leave both processes waiting.
  const SpawnResult started = processes.spawn(
      {"/bin/sh",
       {"-c", "i=0; while [ $i -lt 2000 ]; do printf '%064d\\n' $i; printf '%064d\\n' $i >&2; "
              "i=$((i+1)); done; exit 4"},
       true,
       true,
       nullptr});
  ASSERT_TRUE(started.process) << started.error;
  EXPECT_EQ(started.process->waitForExit(), 4);
  EXPECT_EQ(started.process->capturedOutput().size(), 2000u * 65);
  EXPECT_EQ(started.process->capturedError().size(), 2000u * 65);
  EXPECT_FALSE(started.process->isRunning());
}

TEST(PosixChildTest, TheTerminationHandlerHearsTheEndOnceAndWaitingStillAnswers) {
  PosixProcesses processes;
  std::promise<std::optional<int>> ended;
  SpawnRequest request{"/bin/sh", {"-c", "printf done; exit 7"}, true, false, nullptr};
  request.terminationHandler = [&ended](std::optional<int> status) { ended.set_value(status); };
  const SpawnResult started = processes.spawn(request);
  ASSERT_TRUE(started.process) << started.error;
  EXPECT_EQ(started.process->waitForExit(), 7);
  EXPECT_EQ(started.process->capturedOutput(), "done");
  EXPECT_EQ(ended.get_future().get(), 7);
}

TEST(PosixChildTest, AnInterruptedChildEndsAndReportsNoExitStatus) {
  PosixProcesses processes;
  std::promise<std::optional<int>> ended;
  SpawnRequest request{"/bin/sleep", {"600"}, false, false, nullptr};
  request.terminationHandler = [&ended](std::optional<int> status) { ended.set_value(status); };
  const SpawnResult started = processes.spawn(request);
  ASSERT_TRUE(started.process) << started.error;
  EXPECT_TRUE(started.process->isRunning());
  started.process->interrupt();
  EXPECT_EQ(ended.get_future().get(), std::nullopt);
  EXPECT_FALSE(started.process->isRunning());
  EXPECT_EQ(started.process->waitForExit(), std::nullopt);
}

} // namespace
} // namespace quillon
