#include "capture/ScreenRecordingMonitor.h"

#include "core/Relaunch.h"
#include "text/Unicode.h"

namespace quillon {

namespace {
constexpr std::string_view probeArgument = "--tcc-check-screen";
}

void ScreenRecordingMonitor::start() {
  if (services_.permissions.screenCaptureAccess()) {
    services_.log.write("Quillon TCC: screen recording already granted, monitor idle");
    return;
  }
  services_.log.write("Quillon TCC: screen recording NOT granted — will auto-restart on grant");
  timer_ = services_.mainQueue.scheduleRepeating(PollInterval, lifetime_.guard([this] { tick(); }));
  activationObserver_ = services_.workspace.observeActivations(lifetime_.guard([this] { tick(); }));
}

void ScreenRecordingMonitor::tick() {
  if (stopped_ || !childProcessHasAccess()) {
    return;
  }
  stopped_ = true;
  timer_.cancel();
  activationObserver_.stop();
  services_.log.write("Quillon TCC: screen recording just granted → auto-restarting");
  relaunchSelf();
}

// Blocks the main thread while the child runs; the probe answers at once.
bool ScreenRecordingMonitor::childProcessHasAccess() {
  const std::string executable = services_.bundle.executablePath().string();
  if (executable.empty()) {
    return false;
  }
  const SpawnResult started =
      services_.processes.spawn({executable, {std::string(probeArgument)}, true, true, nullptr});
  if (!started.process) {
    services_.log.write("Quillon TCC: child probe spawn failed: " + started.error);
    return false;
  }
  started.process->waitForExit();
  const std::string output = started.process->capturedOutput();
  return decodeUtf8(output) && output.find("YES") != std::string::npos;
}

void ScreenRecordingMonitor::relaunchSelf() {
  const std::string command = relaunchShellCommand(services_.bundle.bundlePath().string());
  const SpawnResult started = services_.processes.spawn({"/bin/sh", {"-c", command}});
  if (!started.process) {
    services_.log.write("Quillon TCC: relaunch spawn failed: " + started.error);
  }
  services_.sound.play(RelaunchSound);
  // Quitting ends the process whoever still holds this monitor.
  services_.mainQueue.asyncAfter(
      QuitDelay, [&application = services_.application] { application.terminate(); });
}

} // namespace quillon
