#include "app/AppDelegate.h"

#include "app/LiveFeatures.h"
#include "core/Relaunch.h"
#include "platform/Accessibility.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/Processes.h"

#include <array>
#include <cstdlib>

namespace quillon {

namespace {

// Switched back on at every launch while auto-enable is on; the rest keep
// whatever the user chose.
constexpr std::array<Settings::Key, 6> autoEnabledKeys{
    Settings::Key::languageSwitchEnabled,     Settings::Key::copyKeysEnabled,
    Settings::Key::autoSwitchLayoutEnabled,   Settings::Key::folderPeekEnabled,
    Settings::Key::desktopFolderIconsEnabled, Settings::Key::autoSnapMouseDragEnabled,
};

std::string applicationDomain(const Bundle& bundle) {
  return bundle.bundleIdentifier().value_or(std::string(AppDelegate::FallbackBundleIdentifier));
}

// Where a dictation command named without its folder is looked for.
std::string searchPath() {
  const char* path = std::getenv("PATH");
  return path != nullptr ? path : "";
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
      sleepBlocker_(SleepBlocker::Dependencies{platform.lidSleepPrevention, platform.power,
                                               platform.mainQueue, platform.backgroundQueue,
                                               platform.log, settings_}),
      lidMonitor_(platform.power, platform.log),
      screenshot_({platform.screenCapture, platform.directories, platform.images,
                   platform.pasteboard, platform.mainQueue, platform.clock, platform.log}),
      screenVideo_({platform.screenCapture, platform.directories, platform.mainQueue,
                    platform.clock, platform.log, notifications_}),
      screenVideoOverlay_(
          {synthesizer_, platform.screenCapture, screenVideo_, platform.mainQueue, platform.log}),
      audioRecorder_({platform.audioRecorders, platform.directories, platform.mainQueue,
                      platform.clock, platform.log, platform.sound, notifications_}),
      captureLocation_(platform.directories, platform.defaults, platform.log),
      screenRecordingMonitor_({platform.permissions, platform.processes, platform.bundle,
                               platform.workspace, platform.mainQueue, platform.log, platform.sound,
                               platform.application}),
      loginItems_(platform.loginItems, platform.log),
      statusItem_(StatusItemController::Dependencies{
          .userInterface = platform.userInterface,
          .mainQueue = platform.mainQueue,
          .eventTaps = platform.eventTaps,
          .workspace = platform.workspace,
          .localization = platform.localization,
          .settings = settings_,
          .actions = actions_,
          .hud = hud_,
          .loginItems = loginItems_,
          .liveServices = platform.liveServices,
          .whyNoDictation = [this] { return dictationLauncher_.whyUnavailable(); },
          .ownBundleIdentifier = applicationDomain(platform.bundle),
      }),
      windowSnapper_(platform.accessibility, platform.workspace, platform.screens, platform.log),
      alwaysOnTop_(platform.accessibility, platform.windowLevels, platform.sound, platform.log),
      windowPositions_(WindowPositionManager::Dependencies{
          .accessibility = platform.accessibility,
          .workspace = platform.workspace,
          .screens = platform.screens,
          .mainQueue = platform.mainQueue,
          .clock = platform.clock,
          .defaults = platform.defaults,
          .processes = platform.processes,
          .log = platform.log,
          .settings = settings_,
          .snapper = windowSnapper_,
          .ownDomain = applicationDomain(platform.bundle),
          .ownBundleIdentifier = platform.bundle.bundleIdentifier(),
      }),
      clipboardHistory_(ClipboardHistory::Dependencies{
          .pasteboard = platform.pasteboard,
          .defaults = DefaultsDomain(platform.defaults, applicationDomain(platform.bundle)),
          .mainQueue = platform.mainQueue,
          .backgroundQueue = platform.backgroundQueue,
          .workspace = platform.workspace,
          .pasteTargets = platform.pasteTargets,
          .userInterface = platform.userInterface,
          .eventTaps = platform.eventTaps,
          .localization = platform.localization,
          .log = platform.log,
      }),
      dictationLauncher_(DictationLauncher::Dependencies{
          .dictation = platform.dictation,
          .processes = platform.processes,
          .mainQueue = platform.mainQueue,
          .settings = settings_,
          .liveServices = platform.liveServices,
          .log = platform.log,
          .searchPath = searchPath(),
      }),
      finderWindowWatcher_(platform.workspace, platform.accessibility, platform.mainQueue,
                           platform.log),
      folderPeek_(FolderPeek::Dependencies{
          .userInterface = platform.userInterface,
          .eventTaps = platform.eventTaps,
          .accessibility = platform.accessibility,
          .workspace = platform.workspace,
          .screens = platform.screens,
          .mainQueue = platform.mainQueue,
          .backgroundQueue = platform.backgroundQueue,
          .clock = platform.clock,
          .localization = platform.localization,
          .log = platform.log,
      }),
      desktopFolderIcons_(DesktopFolderIcons::Dependencies{
          .directories = platform.directories,
          .fileEvents = platform.fileEvents,
          .workspace = platform.workspace,
          .extendedAttributes = platform.extendedAttributes,
          .defaults = DefaultsDomain(platform.defaults, applicationDomain(platform.bundle)),
          .mainQueue = platform.mainQueue,
          .backgroundQueue = platform.backgroundQueue,
          .clock = platform.clock,
          .log = platform.log,
      }),
      webAppCreator_(platform), wheelReversal_(settings_, platform.wheelDirection) {
  wireActions();
  wireWindowActions();
  wireUtilityActions();
  wireFinderActions();
  withholdActionsNotLive(actions_, platform.liveServices);
  // Settled at launch, like every other capability: the chords of a
  // dictation nothing can start stay the desktop's.
  if (dictationLauncher_.whyUnavailable()) {
    actions_.withhold(Action::triggerDictation);
  }
}

void AppDelegate::wireFinderActions() {
  actions_.wire(Action::startFolderPeek, [this] { folderPeek_.start(); });
  actions_.wire(Action::stopFolderPeek, [this] { folderPeek_.stop(); });
  actions_.wire(Action::startDesktopFolderIcons, [this] { desktopFolderIcons_.start(); });
  actions_.wire(Action::stopDesktopFolderIcons, [this] { desktopFolderIcons_.stop(); });
}

void AppDelegate::startFinderWindowWatcher() {
  finderWindowWatcher_.setOnFolderOpened(
      [this](const std::filesystem::path& folder) { folderOpened(folder); });
  finderWindowWatcher_.start();
}

// Opening a Desktop folder in the file manager refreshes its preview icon
// at once rather than at the next pass.
void AppDelegate::folderOpened(const std::filesystem::path& folder) {
  const auto desktop = platform_.directories.desktop();
  if (!desktop) {
    return;
  }
  std::error_code error;
  const auto parent = std::filesystem::weakly_canonical(folder.parent_path(), error);
  const auto resolvedDesktop = std::filesystem::weakly_canonical(*desktop, error);
  if (!error && parent.string() == resolvedDesktop.string()) {
    desktopFolderIcons_.forceRefresh(folder);
  }
}

void AppDelegate::startFinderServices() {
  if (isLive(Capability::folderPeek)) {
    if (settings_.folderPeekEnabled()) {
      folderPeek_.start();
    } else {
      folderPeek_.stop();
    }
  }
  if (isLive(Capability::desktopFolderIcons)) {
    if (settings_.desktopFolderIconsEnabled()) {
      desktopFolderIcons_.start();
    } else {
      desktopFolderIcons_.stop();
    }
  }
}

void AppDelegate::wireUtilityActions() {
  actions_.wire(Action::showClipboardHistory, [this](const ActionTarget& target) {
    clipboardHistory_.showPopupAtCursor(target);
  });
  actions_.wire(Action::triggerDictation, [this] { dictationLauncher_.trigger(); });
  actions_.wire(Action::createWebApp, [this] { webAppCreator_.promptAndCreate(); });
}

void AppDelegate::wireActions() {
  wireCaptureActions();
  actions_.wire(Action::openScreenVideoOverlay, [this] { screenVideoOverlay_.open(); });
  actions_.wire(Action::openAccessibilitySettings, [this] { openAccessibility(); });
  actions_.wire(Action::restartApp, [this] { restartApp(); });
  actions_.wire(Action::quit, [this] { quit(); });
  actions_.keepAwake().requestToggle = [this](bool on, KeepAwakeSwitch::Completion completion) {
    sleepBlocker_.requestToggle(on, std::move(completion));
  };
  actions_.keepAwake().currentPowerSource = [this] { return sleepBlocker_.currentPowerSource(); };
  actions_.keepAwake().sleepsOnBatteryRegardless = [this] {
    return sleepBlocker_.sleepsOnBatteryRegardless();
  };
  // The hotkey asks without waiting for the answer; the menu's toggle waits.
  actions_.wire(Action::toggleKeepAwake, [this] {
    actions_.keepAwake().request(!settings_.sleepBlockerEnabled(), nullptr);
  });
}

void AppDelegate::wireCaptureActions() {
  actions_.wire(Action::captureAreaScreenshot,
                [this] { screenshot_.captureSelectionToClipboard(); });
  actions_.wire(Action::recordFullScreenVideo,
                [this] { screenVideo_.start(ScreenVideoCapture::Mode::FullScreen); });
  actions_.wire(Action::interruptScreenVideo, [this] { screenVideo_.interrupt(); });
  actions_.wire(Action::toggleAudioRecording, [this] { audioRecorder_.toggle(); });
  actions_.wire(Action::stopAudioRecording, [this] { audioRecorder_.stop(); });
  actions_.recordingStatus().audioRecording = [this] { return audioRecorder_.isRecording(); };
  actions_.recordingStatus().screenVideoRunning = [this] { return screenVideo_.isRunning(); };
}

void AppDelegate::wireWindowActions() {
  using Position = WindowSnapper::Position;
  const std::array<std::pair<Action, Position>, 8> snaps{{
      {Action::snapLeftHalf, Position::leftHalf},
      {Action::snapRightHalf, Position::rightHalf},
      {Action::snapMaximize, Position::maximize},
      {Action::snapCenter, Position::center},
      {Action::snapTopLeft, Position::topLeft},
      {Action::snapTopRight, Position::topRight},
      {Action::snapBottomLeft, Position::bottomLeft},
      {Action::snapBottomRight, Position::bottomRight},
  }};
  for (const auto& [action, position] : snaps) {
    actions_.wire(action, [this, position] { windowSnapper_.snapFocusedWindow(position); });
  }
  actions_.wire(Action::togglePinFocusedWindow, [this] { alwaysOnTop_.toggleFocusedWindow(); });
  actions_.wire(Action::startWindowPositionManager, [this] { windowPositions_.start(); });
  actions_.wire(Action::stopWindowPositionManager, [this] { windowPositions_.stop(); });
  actions_.wire(Action::enableTileMargins,
                [this] { windowPositions_.applyTileMarginPreference(false); });
  actions_.wire(Action::disableTileMargins,
                [this] { windowPositions_.applyTileMarginPreference(true); });
}

// The manager serves both window switches, so it runs while either is on;
// the tiling margins follow edge snapping alone.
void AppDelegate::startWindowPositions() {
  if (!isLive(Capability::windowAccess)) {
    return;
  }
  if (settings_.autoSnapMouseDragEnabled() || settings_.restoreWindowPositionsEnabled()) {
    windowPositions_.start();
  } else {
    windowPositions_.stop();
  }
  actions_.perform(settings_.autoSnapMouseDragEnabled() ? Action::disableTileMargins
                                                        : Action::enableTileMargins);
}

void AppDelegate::applicationDidFinishLaunching() {
  platform_.log.write(
      "Quillon: launched, pid=" + std::to_string(platform_.application.processIdentifier()) +
      ", accessibility=" + text(platform_.accessibility.isProcessTrusted()));
  reportServicesNotLive();
  applyAutoEnable();
  // A service the desktop only stands in for gets no launch step: what it
  // would run or write means nothing here, or something else.
  if (isLive(Capability::keepAwake)) {
    reconcileKeepAwake();
    startLidMonitor();
  }
  if (isLive(Capability::folderPeek)) {
    startFinderWindowWatcher();
  }
  clipboardHistory_.start();
  if (isLive(Capability::screenCapture)) {
    screenRecordingMonitor_.start();
  }
  dictationLauncher_.prepare();
  if (isLive(Capability::screenCapture) && isLive(Capability::systemSettings)) {
    captureLocation_.ensureLocation();
  }
  // After every launch-time correction of the settings, so the menu is built
  // showing the state the services will run in.
  statusItem_.setupStatusItem();
  bootstrapEventTap();
  wheelReversal_.start();
  startFinderServices();
  startWindowPositions();
  observeNotifications();
}

void AppDelegate::reportServicesNotLive() {
  for (const Capability capability : AllCapabilities) {
    // The user's own command can stand in for the desktop's dictation.
    const auto reason = capability == Capability::dictation
                            ? dictationLauncher_.whyUnavailable()
                            : platform_.liveServices.whyNotLive(capability);
    if (reason) {
      platform_.log.write("Quillon: " + std::string(capabilityName(capability)) +
                          " stays off: " + *reason);
    }
  }
}

void AppDelegate::observeNotifications() {
  observations_ = {
      notifications_.observe(Settings::ChangedNotification,
                             [this] { statusItem_.refreshMenuState(); }),
      notifications_.observe(RecordingStatus::AudioRecorderStateNotification,
                             [this] { statusItem_.recordingStateChanged(); }),
      notifications_.observe(RecordingStatus::ScreenVideoStateNotification,
                             [this] { statusItem_.recordingStateChanged(); }),
  };
}

void AppDelegate::applyAutoEnable() {
  if (!settings_.autoEnableOnLaunch()) {
    return;
  }
  for (const Settings::Key key : autoEnabledKeys) {
    settings_.set(true, key);
  }
}

// The system's switch wins over the stored one: it may have been changed
// outside the product, and the menu must show what the machine will do.
// Where keep-awake ends with the process, nothing outside could have kept
// it: the stored choice is taken again, and stays only if that succeeds.
void AppDelegate::reconcileKeepAwake() {
  if (sleepBlocker_.endsWithProcess()) {
    if (settings_.sleepBlockerEnabled()) {
      sleepBlocker_.requestToggle(true, [this](bool succeeded) {
        if (!succeeded) {
          platform_.log.write("Quillon: keep-awake could not be taken again at launch; it is off");
          settings_.set(false, Settings::Key::sleepBlockerEnabled);
        }
      });
    }
    return;
  }
  const bool active = sleepBlocker_.isDisableSleepOnBatteryActive();
  if (active != settings_.sleepBlockerEnabled()) {
    settings_.set(active, Settings::Key::sleepBlockerEnabled);
  }
  sleepBlocker_.setAssertion(active);
}

void AppDelegate::startLidMonitor() {
  lidMonitor_.setOnLidClose([this] { lidClosed(); });
  lidMonitor_.start();
}

void AppDelegate::lidClosed() {
  if (!settings_.sleepBlockerEnabled()) {
    return;
  }
  if (sleepBlocker_.sleepsOnBatteryRegardless() &&
      sleepBlocker_.currentPowerSource() == SleepBlocker::BatteryPower) {
    platform_.log.write(
        "Quillon: lid closed on BATTERY — macOS will force sleep regardless of keep-awake");
  } else {
    platform_.log.write("Quillon: lid closed + sleep blocker on → sleeping display");
  }
  sleepBlocker_.sleepDisplayNow();
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

} // namespace quillon
