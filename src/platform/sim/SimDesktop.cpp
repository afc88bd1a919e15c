#include "platform/sim/SimDesktop.h"

#include <stdexcept>

namespace quillon {

SimDesktop::SimDesktop() : SimDesktop(Options{}) {}

SimDesktop::SimDesktop(Options options)
    : privateFolder_(options.defaultsRoot ? nullptr
                                          : std::make_unique<TemporaryDirectory>("quillon-sim")),
      defaultsRoot_(options.defaultsRoot ? *options.defaultsRoot : privateFolder_->path()),
      bundle_(std::make_unique<FileBundle>(options.executablePath, log_)),
      defaults_(std::make_unique<PlistDefaults>(defaultsRoot_, log_)),
      platform_{clock_,
                runLoop_,
                runLoop_.backgroundQueue(),
                log_,
                *bundle_,
                localization_,
                *defaults_,
                eventTaps_,
                inputSources_,
                accessibility_,
                processes_,
                workspace_,
                permissions_,
                pasteboard_,
                application_,
                sound_,
                screens_,
                userInterface_,
                loginItems_,
                power_,
                directories_,
                images_,
                audioRecorders_,
                windowLevels_,
                fileEvents_,
                extendedAttributes_,
                http_,
                imageDecoder_,
                appleScript_,
                alerts_,
                appWindows_,
                webViews_,
                deviceAuthorization_,
                wheelDirection_,
                liveServices_} {
  accessibility_.setTrusted(options.accessibilityTrusted);
  systemTools_ =
      std::make_unique<SimSystemTools>(processes_, power_, permissions_, options.executablePath);
  std::string error;
  if (!inputSources_.setEnabledLayouts(options.layouts, &error)) {
    throw std::invalid_argument(error);
  }
  eventTaps_.setSink([this](const Event& event) {
    textField_.receive(event);
    userInterface_.deliverToGlobalMonitors(event);
  });
  workspace_.setFileIcons(fileIcons_);
  workspace_.setApplications(applications_);
  windowOpened_ = applications_.observeWindowOpened(
      [this](const int&, const std::uint32_t&) { workspace_.noteFocusMayHaveMoved(); });
  eventTaps_.setAfterHardwareEvent([this] {
    if (!runLoop_.isRunning()) {
      runLoop_.runUntilIdle();
    }
  });
  // The shell exists on every desktop; what it runs is recorded, not run.
  processes_.registerTool(
      "/bin/sh", [](const std::vector<std::string>&) { return SimProcesses::ToolResult{}; });
  processes_.registerTool("/usr/bin/killall", [](const std::vector<std::string>&) {
    return SimProcesses::ToolResult{};
  });
  // The system's settings tool, which rereads its keyboard shortcuts.
  processes_.registerTool(
      "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/"
      "activateSettings",
      [](const std::vector<std::string>&) { return SimProcesses::ToolResult{}; });
}

int SimDesktop::bringToFront(std::string bundleIdentifier, std::optional<std::string> bundlePath,
                             std::optional<std::string> executablePath) {
  int processIdentifier = nextProcessIdentifier_;
  for (const RunningApplication& running : workspace_.runningApplications()) {
    if (running.bundleIdentifier == bundleIdentifier) {
      processIdentifier = running.processIdentifier;
    }
  }
  if (processIdentifier == nextProcessIdentifier_) {
    ++nextProcessIdentifier_;
  }
  RunningApplication application;
  application.processIdentifier = processIdentifier;
  application.localizedName = bundleIdentifier;
  application.bundleIdentifier = std::move(bundleIdentifier);
  application.bundlePath = std::move(bundlePath);
  application.executablePath = std::move(executablePath);
  workspace_.launch(std::move(application));
  workspace_.setFrontmost(processIdentifier);
  return processIdentifier;
}

} // namespace quillon

namespace quillon {

bool SimDesktop::focusNextWindow() {
  const auto frontmost = workspace_.frontmostApplication();
  const auto previous = workspace_.focusedWindow();
  if (!frontmost || !previous) {
    return false;
  }
  const int process = frontmost->processIdentifier;
  windowTexts_[*previous] = textField_.text();
  // Two windows of one application are what a test of the focus needs, so
  // a lone window gets a sibling at its frame.
  if (!applications_.focusRearmostWindow(process)) {
    applications_.openWindow(process, applications_.frame(*applications_.focusedWindow(process)));
  }
  const auto focused = workspace_.focusedWindow();
  textField_.setText(focused ? windowTexts_[*focused] : std::string());
  workspace_.noteFocusMayHaveMoved();
  return true;
}

} // namespace quillon
