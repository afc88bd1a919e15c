#include "platform/sim/SimDesktop.h"

#include <algorithm>
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
                lidSleepPrevention_,
                directories_,
                images_,
                audioRecorders_,
                screenCapture_,
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
                webAppPackaging_,
                wheelDirection_,
                pasteTargets_,
                dictation_,
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

namespace {

bool overlaps(const Rect& first, const Rect& second) {
  return std::max(first.origin.x, second.origin.x) <
             std::min(first.origin.x + first.size.width, second.origin.x + second.size.width) &&
         std::max(first.origin.y, second.origin.y) <
             std::min(first.origin.y + first.size.height, second.origin.y + second.size.height);
}

// The window keeps its size where it fits and comes as little way as it can.
Rect placedInside(const Rect& frame, const Rect& area) {
  const Size size{std::min(frame.size.width, area.size.width),
                  std::min(frame.size.height, area.size.height)};
  const double x =
      std::clamp(frame.origin.x, area.origin.x, area.origin.x + area.size.width - size.width);
  const double y =
      std::clamp(frame.origin.y, area.origin.y, area.origin.y + area.size.height - size.height);
  return {{x, y}, size};
}

bool isOnSomeScreen(const SimApplications& applications, const SimScreens& screens,
                    const SimWindow& window) {
  const Rect frame = applications.frame(window);
  const auto shown = screens.screens();
  return std::any_of(shown.begin(), shown.end(),
                     [&frame](const ScreenInfo& screen) { return overlaps(screen.frame, frame); });
}

} // namespace

void SimDesktop::rearrangeScreens(std::vector<ScreenInfo> screens) {
  // Only windows a display showed until now are moved: one already off
  // every display stays where its application put it.
  std::vector<std::uint32_t> shownBefore;
  for (const RunningApplication& running : workspace_.runningApplications()) {
    for (const SimWindow& window : applications_.application(running.processIdentifier).windows) {
      if (isOnSomeScreen(applications_, screens_, window)) {
        shownBefore.push_back(window.number);
      }
    }
  }
  screens_.setScreens(std::move(screens));
  const auto primary = screens_.mainScreen();
  if (!primary) {
    return;
  }
  for (const std::uint32_t number : shownBefore) {
    SimWindow* window = applications_.window(number);
    if (window != nullptr && !isOnSomeScreen(applications_, screens_, *window)) {
      applications_.moveWindow(*window,
                               placedInside(applications_.frame(*window), primary->visibleFrame));
    }
  }
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
