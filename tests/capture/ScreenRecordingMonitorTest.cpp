// The permission monitor: probes a fresh copy of this executable until the
// grant shows, then relaunches once.
#include "capture/ScreenRecordingMonitor.h"

#include "platform/linux/PosixProcesses.h"
#include "platform/shared/FileBundle.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view executable = "/Applications/Quillon.app/Contents/MacOS/Quillon";

class ScreenRecordingMonitorTest : public ::testing::Test {
protected:
  explicit ScreenRecordingMonitorTest(std::string_view executablePath = executable)
      : desktop(SimDesktop::Options{.executablePath = std::string(executablePath)}) {
    desktop.permissions().setScreenCaptureAccess(false);
  }

  std::size_t probes() {
    const auto& spawns = desktop.processes().spawns();
    return static_cast<std::size_t>(
        std::count_if(spawns.begin(), spawns.end(), [](const auto& spawn) {
          return spawn.arguments == Lines{"--tcc-check-screen"};
        }));
  }
  std::size_t relaunches() {
    const auto& spawns = desktop.processes().spawns();
    return static_cast<std::size_t>(
        std::count_if(spawns.begin(), spawns.end(),
                      [](const auto& spawn) { return spawn.executable == "/bin/sh"; }));
  }

  SimDesktop desktop;
  ScreenRecordingMonitor monitor{{desktop.permissions(), desktop.processes(), desktop.bundle(),
                                  desktop.workspace(), desktop.runLoop(), desktop.log(),
                                  desktop.sound(), desktop.application()}};
};

TEST_F(ScreenRecordingMonitorTest, AGrantAtLaunchStartsNoTimerAndNoProbe) {
  desktop.permissions().setScreenCaptureAccess(true);
  monitor.start();
  EXPECT_FALSE(monitor.isWatching());
  desktop.bringToFront("com.apple.systempreferences");
  desktop.advance(Duration(30));
  EXPECT_EQ(probes(), 0u);
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon TCC: screen recording already granted, monitor idle"});
}

TEST_F(ScreenRecordingMonitorTest, ProbesOnEachActivationAndEveryThreeSecondsThenRelaunchesOnce) {
  monitor.start();
  desktop.advance(Duration(2.9));
  EXPECT_EQ(probes(), 0u);
  desktop.advance(Duration(0.1));
  EXPECT_EQ(probes(), 1u);
  desktop.bringToFront("com.apple.systempreferences");
  EXPECT_EQ(probes(), 2u);
  desktop.bringToFront("com.apple.systempreferences"); // already in front: no activation
  EXPECT_EQ(probes(), 2u);

  desktop.permissions().setScreenCaptureAccess(true);
  desktop.bringToFront("com.example.editor");
  EXPECT_EQ(probes(), 3u);
  EXPECT_FALSE(monitor.isWatching());
  EXPECT_TRUE(monitor.hasStopped());
  desktop.bringToFront("com.apple.systempreferences");
  desktop.advance(Duration(0.149));
  EXPECT_FALSE(desktop.application().isTerminated());
  desktop.advance(Duration(0.001));
  EXPECT_TRUE(desktop.application().isTerminated());
  desktop.advance(Duration(10));
  EXPECT_EQ(probes(), 3u);
  EXPECT_EQ(relaunches(), 1u);
  EXPECT_EQ(desktop.processes().lastArguments("/bin/sh"),
            (Lines{"-c", "sleep 1; /usr/bin/open '/Applications/Quillon.app'"}));
  EXPECT_EQ(desktop.sound().takePlayed(), Lines{"Submarine"});
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon TCC: screen recording NOT granted — will auto-restart on grant",
                   "Quillon TCC: screen recording just granted → auto-restarting"}));
}

TEST_F(ScreenRecordingMonitorTest, AFailedProbeCountsAsNoPermissionAndAFailedRelaunchStillQuits) {
  desktop.processes().removeTool(std::string(executable));
  monitor.start();
  desktop.advance(Duration(3));
  EXPECT_TRUE(monitor.isWatching());
  EXPECT_EQ(desktop.log().takeNewLines().back(),
            "Quillon TCC: child probe spawn failed: The file \"" + std::string(executable) +
                "\" doesn't exist.");

  desktop.processes().registerTool(std::string(executable), [](const Lines&) {
    return SimProcesses::ToolResult{0, "YES\n", {}, nullptr};
  });
  desktop.processes().removeTool("/bin/sh");
  desktop.advance(Duration(3));
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon TCC: screen recording just granted → auto-restarting",
                   "Quillon TCC: relaunch spawn failed: The file \"/bin/sh\" doesn't exist."}));
  desktop.advance(Duration(0.15));
  EXPECT_TRUE(desktop.application().isTerminated());
}

class QuotedBundleMonitorTest : public ScreenRecordingMonitorTest {
protected:
  QuotedBundleMonitorTest()
      : ScreenRecordingMonitorTest("/Applications/Bob's Quillon.app/Contents/MacOS/Quillon") {}
};

TEST_F(QuotedBundleMonitorTest, ABundlePathWithAQuoteIsReopenedIntact) {
  monitor.start();
  desktop.permissions().setScreenCaptureAccess(true);
  desktop.advance(Duration(3));
  EXPECT_EQ(desktop.processes().lastArguments("/bin/sh"),
            (Lines{"-c", "sleep 1; /usr/bin/open '/Applications/Bob'\\''s Quillon.app'"}));
}

// Real child processes for the probe; every other start is only recorded,
// so the test never reopens anything.
class ProbeForReal final : public Processes {
public:
  explicit ProbeForReal(std::string probed) : executable_(std::move(probed)) {}
  SpawnResult spawn(const SpawnRequest& request) override {
    if (request.executable == executable_) {
      return real_.spawn(request);
    }
    recorded.push_back(request.executable);
    return recordedOnly_.spawn({"/bin/true", {}});
  }
  std::vector<std::string> recorded;

private:
  std::string executable_;
  PosixProcesses real_;
  PosixProcesses recordedOnly_;
};

TEST(ScreenRecordingProbeTest, AFreshCopyOfThisExecutableAnswersTheProbe) {
  SimDesktop desktop;
  desktop.permissions().setScreenCaptureAccess(false);
  FileBundle bundle(QUILLON_EXECUTABLE, desktop.log());
  ProbeForReal processes(QUILLON_EXECUTABLE);
  ScreenRecordingMonitor monitor{{desktop.permissions(), processes, bundle, desktop.workspace(),
                                  desktop.runLoop(), desktop.log(), desktop.sound(),
                                  desktop.application()}};
  monitor.start();
  // This machine's answer is YES, so the first probe relaunches.
  desktop.advance(Duration(3.15));
  EXPECT_TRUE(monitor.hasStopped());
  EXPECT_EQ(processes.recorded, Lines{"/bin/sh"});
  EXPECT_TRUE(desktop.application().isTerminated());
}

} // namespace
} // namespace quillon
