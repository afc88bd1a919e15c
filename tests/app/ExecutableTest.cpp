// The built executable as a user or a parent process runs it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
  int status = -1;
  std::string output;
};

struct PipeCloser {
  void operator()(FILE* pipe) const { ::pclose(pipe); }
};

// Runs a shell command line and collects its standard output and exit status.
Outcome runCommand(const std::string& command) {
  FILE* raw = ::popen(command.c_str(), "r");
  if (raw == nullptr) {
    return {};
  }
  std::unique_ptr<FILE, PipeCloser> pipe(raw);
  Outcome outcome;
  std::array<char, 4096> buffer{};
  while (const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) {
    outcome.output.append(buffer.data(), count);
  }
  const int status = ::pclose(pipe.release());
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

const std::string executable = QUILLON_EXECUTABLE;

TEST(ExecutableTest, ScreenCaptureProbePrintsOneLine) {
  const Outcome probe = runCommand(executable + " --simulate --tcc-check-screen 2>/dev/null");
  EXPECT_EQ(probe.status, 0);
  EXPECT_EQ(probe.output, "YES\n");
}

TEST(ExecutableTest, TourRunsWithoutErrors) {
  const Outcome tour =
      runCommand(executable + " --simulate " + QUILLON_SOURCE_DIR + "/tour/tour.qsim");
  EXPECT_EQ(tour.status, 0);
  EXPECT_FALSE(tour.output.empty());
  EXPECT_EQ(tour.output.find("error:"), std::string::npos) << tour.output;
  EXPECT_NE(tour.output.find("Quillon: event tap started"), std::string::npos);
}

TEST(ExecutableTest, ScriptFromStandardInputAndBadArguments) {
  const Outcome piped = runCommand("printf 'keys us hi\\ntext\\n' | " + executable + " --simulate");
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.output, "\"hi\"\n");
  EXPECT_EQ(runCommand(executable + " --simulate /nonexistent/script 2>/dev/null").status, 1);
  EXPECT_EQ(runCommand(executable + " --simulate a b 2>/dev/null").status, 2);
}

// Settled before any display is looked for, so these answer the same with
// or without an X session.
TEST(ExecutableTest, HelpVersionAndUnknownOptionsWithoutADisplay) {
  const std::string withoutDisplay = "env -u DISPLAY " + executable;
  const Outcome version = runCommand(withoutDisplay + " --version 2>&1");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "quillon " QUILLON_VERSION "\n");

  const Outcome help = runCommand(withoutDisplay + " --help 2>/dev/null");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("Usage: quillon", 0), 0u) << help.output;

  const Outcome unknownOut = runCommand(withoutDisplay + " --frobnicate 2>/dev/null");
  EXPECT_EQ(unknownOut.status, 2);
  EXPECT_EQ(unknownOut.output, "");
  const Outcome unknownErr = runCommand(withoutDisplay + " --frobnicate 2>&1 >/dev/null");
  EXPECT_EQ(unknownErr.output, "quillon: unrecognized option '--frobnicate'\n" + help.output);
}

} // namespace
