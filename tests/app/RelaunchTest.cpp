#include "core/Relaunch.h"

#include "platform/linux/PosixProcesses.h"
#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillon {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(RelaunchTest, QuotesEverySingleQuote) {
  EXPECT_EQ(singleQuotedForShell("plain"), "'plain'");
  EXPECT_EQ(singleQuotedForShell("it's"), "'it'\\''s'");
  EXPECT_EQ(singleQuotedForShell("''"), "''\\'''\\'''");
  EXPECT_EQ(relaunchShellCommand("/Applications/Q.app"),
            "sleep 1; /usr/bin/open '/Applications/Q.app'");
}

// Runs the very command a relaunch runs, through the real shell, with a
// stand-in for the opener that records what it was given.
TEST(RelaunchTest, RealShellHandsTheOpenerTheExactPath) {
  const TemporaryDirectory folder("quillon-relaunch");
  const auto opener = folder.path() / "open";
  const auto received = folder.path() / "received";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << received.string() << "'\n";
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);

  PosixProcesses processes;
  for (const std::string& bundle :
       {std::string("/Applications/It's \"Mine\" $HOME `id` \\n; rm -rf x.app"),
        std::string("/tmp/'; touch pwned; '.app"), std::string("/tmp/new\nline.app")}) {
    std::filesystem::remove(received);
    const SpawnResult result =
        processes.spawn({"/bin/sh", {"-c", relaunchShellCommand(bundle, opener.string())}});
    ASSERT_TRUE(result.process) << result.error;
    EXPECT_EQ(result.process->waitForExit(), 0);
    EXPECT_EQ(readFile(received), bundle);
  }
  EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(PosixProcessesTest, CapturesOutputAndReportsFailures) {
  PosixProcesses processes;
  const SpawnResult echo = processes.spawn({"/bin/sh", {"-c", "printf 'a b'; exit 3"}, true});
  ASSERT_TRUE(echo.process);
  EXPECT_EQ(echo.process->waitForExit(), 3);
  EXPECT_EQ(echo.process->capturedOutput(), "a b");

  const SpawnResult missing = processes.spawn({"/nonexistent/tool", {}});
  EXPECT_FALSE(missing.process);
  EXPECT_FALSE(missing.error.empty());

  const SpawnResult relative = processes.spawn({"sh", {}});
  EXPECT_FALSE(relative.process);
}

} // namespace
} // namespace quillon
