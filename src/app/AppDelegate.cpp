#include "app/AppDelegate.h"

#include "app/Relaunch.h"
#include "platform/Accessibility.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/Processes.h"

#include <array>

namespace quillon {

namespace {

// Switched back on at every launch while auto-enable is on; the rest keep
// whatever the user chose.
constexpr std::array<Settings::Key, 6> autoEnabledKeys{
    Settings::Key::languageSwitchEnabled,     Settings::Key::copyKeysEnabled,
    Settings::Key::autoSwitchLayoutEnabled,   Settings::Key::folderPeekEnabled,
    Settings::Key::desktopFolderIconsEnabled, Settings::Key::autoSnapMouseDragEnabled,
};

constexpr Duration refocusDelay{0.05};
constexpr Duration actionAfterRefocusDelay{0.08};

std::string applicationDomain(const Bundle& bundle) {
  return bundle.bundleIdentifier().value_or(std::string(AppDelegate::FallbackBundleIdentifier));
}

const char* text(bool value) {
  return value ? "true" : "false";
}

} // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      settings_(DefaultsDomain(platform.defaults, applicationDomain(platform.bundle)),
                notifications_),
      synthesizer_(platform.eventTaps, platform.clock), languageSwitcher_(platform.inputSources),
      hud_(platform.mainQueue, platform.userInterface, platform.screens),
      screenVideoOverlay_(synthesizer_, platform.log) {
  wireActions();
}

void AppDelegate::wireActions() {
  actions_.wire(Action::openScreenVideoOverlay, [this] { screenVideoOverlay_.open(); });
}

void AppDelegate::applicationDidFinishLaunching() {
  platform_.log.write(
      "Quillon: launched, pid=" + std::to_string(platform_.application.processIdentifier()) +
      ", accessibility=" + text(platform_.accessibility.isProcessTrusted()));
  applyAutoEnable();
  bootstrapEventTap();
}

void AppDelegate::applyAutoEnable() {
  if (!settings_.autoEnableOnLaunch()) {
    return;
  }
  for (const Settings::Key key : autoEnabledKeys) {
    settings_.set(true, key);
  }
}

std::unique_ptr<EventTap> AppDelegate::makeEventTap() {
  return std::make_unique<EventTap>(EventTap::Dependencies{
      platform_.eventTaps, platform_.inputSources, platform_.pasteboard, platform_.mainQueue,
      platform_.clock, platform_.log, platform_.sound, platform_.workspace, platform_.localization,
      settings_, actions_, synthesizer_, languageSwitcher_, hud_});
}

void AppDelegate::bootstrapEventTap() {
  auto tap = makeEventTap();
  if (tap->start()) {
    platform_.log.write("Quillon: event tap started");
    eventTap_ = std::move(tap);
    return;
  }
  platform_.log.write("Quillon: event tap FAILED to start (likely no accessibility)");
  tap.reset();
  platform_.accessibility.isProcessTrustedWithOptions(true);
  // Owned by this delegate, so the timer dies with it: the weak hold on the
  // delegate that the ticks need.
  permissionTimer_ = platform_.mainQueue.scheduleRepeating(
      PermissionRetryInterval, lifetime_.guard([this] { retryEventTap(); }));
}

void AppDelegate::retryEventTap() {
  if (!platform_.accessibility.isProcessTrusted()) {
    return;
  }
  auto tap = makeEventTap();
  if (!tap->start()) {
    return;
  }
  eventTap_ = std::move(tap);
  permissionTimer_.cancel();
}

void AppDelegate::restartApp() {
  const std::string command = relaunchShellCommand(platform_.bundle.bundlePath().string());
  const SpawnResult result = platform_.processes.spawn({"/bin/sh", {"-c", command}});
  if (!result.process) {
    platform_.log.write("Quillon: restart failed to spawn relaunch: " + result.error);
  }
  platform_.application.terminate();
}

void AppDelegate::quit() {
  platform_.application.terminate();
}

void AppDelegate::openAccessibility() {
  platform_.workspace.openUrl(AccessibilitySettingsUrl);
}

void AppDelegate::runAfterRefocus(std::function<void()> action) {
  MainQueue& mainQueue = platform_.mainQueue;
  Workspace& workspace = platform_.workspace;
  // A snapshot: if the application quits meanwhile, activation simply fails
  // and the action still runs.
  mainQueue.asyncAfter(refocusDelay,
                       lifetime_.guard([this, &mainQueue, &workspace, previous = prevFrontmostApp_,
                                        action = std::move(action)] {
                         if (previous) {
                           workspace.activate(*previous, ActivationOptions::AllWindows);
                         }
                         mainQueue.asyncAfter(actionAfterRefocusDelay, lifetime_.guard(action));
                       }));
}

} // namespace quillon
