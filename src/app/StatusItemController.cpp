#include "app/StatusItemController.h"

#include "app/LiveFeatures.h"
#include "layout/AutoSwitcher.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view recordingTooltip = "Recording — click to stop";
constexpr std::string_view autoSwitchOnMessage = "Auto-switch ON";
constexpr std::string_view autoSwitchOffMessage = "Auto-switch OFF";
// On battery the system sleeps with the lid closed whatever keep-awake says.
constexpr std::string_view batteryPowerSource = "Battery Power";
constexpr std::string_view plugInMessage = "Plug in — macOS forces lid sleep on battery";
// Between an item's own title and why it cannot act on this desktop; the
// tray shows titles only, so the reason travels in it.
constexpr std::string_view notLiveSeparator = " — ";
constexpr std::string_view notLivePrefix = "unavailable: ";

StatusItemAppearance idleAppearance() {
  return {.title = "QL",
          .color = NamedColor::Label,
          .fontSize = 12,
          .weight = FontWeight::Semibold,
          .monospaced = true};
}

StatusItemAppearance recordingAppearance(std::string tooltip) {
  return {.title = "●",
          .color = NamedColor::SystemRed,
          .fontSize = 14,
          .weight = FontWeight::Bold,
          .monospaced = false,
          .tooltip = std::move(tooltip)};
}

} // namespace

StatusItemController::StatusItemController(Dependencies dependencies)
    : services_(std::move(dependencies)) {}

void StatusItemController::setupStatusItem() {
  // The item dies with this controller, so its handlers never outlive it.
  statusItem_ = services_.userInterface.makeStatusItem({
      .clicked = [this](const StatusItemClick& click) { handleStatusClick(click); },
      .menuWillOpen = [this] { menuWillOpen(); },
      .menuItemChosen =
          [this](int tag) {
            if (const auto command = menuCommandForTag(tag)) {
              perform(*command);
            }
          },
  });
  statusMenu_.emplace(services_.localization);
  // Where applications already take their shortcuts with Control, the remap
  // to Command has nothing to do: the item stays, greyed.
  statusMenu_->item(MenuCommand::toggleCopyKeys).enabled =
      services_.eventTaps.standardShortcutModifier() == flag::Command;
  greyItemsNotLive();
  updateCheckMarks();
  updateCorrectionItems();
  statusMenu_->item(MenuCommand::toggleLaunchAtLogin).checked = services_.loginItems.isEnabled();
  applyStatusItemAppearance();
}

// The items stay in place, so the menu reads the same on every desktop, but
// they say why they cannot act and never show a feature as running.
void StatusItemController::greyItemsNotLive() {
  for (std::size_t index = 0; index < MenuCommandCount; ++index) {
    const auto command = static_cast<MenuCommand>(index);
    const auto reason = whyMenuCommandIsNotLive(command, services_.liveServices);
    if (!reason) {
      continue;
    }
    MenuItem& item = statusMenu_->item(command);
    item.enabled = false;
    item.checked = false;
    item.title += std::string(notLiveSeparator) +
                  services_.localization.localized(std::string(notLivePrefix) + *reason);
  }
  if (const auto reason = services_.whyNoDictation ? services_.whyNoDictation() : std::nullopt) {
    statusMenu_->noteDictationUnavailable(
        services_.localization,
        std::string(notLiveSeparator) +
            services_.localization.localized(std::string(notLivePrefix) + *reason));
  }
}

bool StatusItemController::isLive(MenuCommand command) const {
  return !whyMenuCommandIsNotLive(command, services_.liveServices);
}

void StatusItemController::handleStatusClick(const StatusItemClick& click) {
  if (click.button == MouseButton::Right) {
    pendingMenuShow_.cancel();
    showStatusMenu();
    return;
  }
  if (services_.actions.recordingStatus().isRecording()) {
    // The item is the recording's stop button now; the idle recorder ignores
    // its stop.
    pendingMenuShow_.cancel();
    services_.actions.perform(Action::stopAudioRecording);
    services_.actions.perform(Action::interruptScreenVideo);
    return;
  }
  if (click.clickCount < 2) {
    // Wait out the double-click interval: a second click makes this a
    // screenshot, and the menu must not have appeared by then.
    pendingMenuShow_ = services_.mainQueue.scheduleAfter(services_.eventTaps.doubleClickInterval(),
                                                         lifetime_.guard([this] {
                                                           pendingMenuShow_.cancel();
                                                           showStatusMenu();
                                                         }));
    return;
  }
  pendingMenuShow_.cancel();
  services_.actions.perform(Action::captureAreaScreenshot);
}

void StatusItemController::showStatusMenu() {
  if (statusItem_) {
    statusItem_->popUpMenu();
  }
}

void StatusItemController::menuWillOpen() {
  // Once this application is frontmost (a dialog of ours, say), the
  // application the user worked in before is still the one to act on.
  if (auto frontmost = services_.workspace.frontmostApplication();
      frontmost && !isThisApplication(*frontmost)) {
    prevFrontmostApp_ = std::move(frontmost);
  }
  if (statusMenu_) {
    statusMenu_->item(MenuCommand::toggleLaunchAtLogin).checked = services_.loginItems.isEnabled();
    publishMenu();
  }
  services_.mainQueue.async(lifetime_.guard([this] { refreshMenuState(); }));
}

bool StatusItemController::isThisApplication(const RunningApplication& application) const {
  // Two applications without an identifier count as the same one.
  return application.bundleIdentifier == std::optional<std::string>(services_.ownBundleIdentifier);
}

void StatusItemController::refreshMenuState() {
  if (!statusMenu_) {
    return;
  }
  updateCheckMarks();
  updateCorrectionItems();
  publishMenu();
}

void StatusItemController::updateCheckMarks() {
  for (const SettingToggle& toggle : StatusMenu::SettingToggles) {
    if (!isLive(toggle.command)) {
      continue;
    }
    statusMenu_->item(toggle.command).checked = services_.settings.value(toggle.key);
  }
}

void StatusItemController::applyStatusItemAppearance() {
  const RecordingStatus& recording = services_.actions.recordingStatus();
  const bool audioRecording = recording.isAudioRecording();
  if (statusItem_) {
    statusItem_->setAppearance(
        audioRecording || recording.isScreenVideoRunning()
            ? recordingAppearance(services_.localization.localized(recordingTooltip))
            : idleAppearance());
  }
  if (!statusMenu_) {
    return;
  }
  // A greyed item keeps the title that says why.
  if (isLive(MenuCommand::toggleAudioRecording)) {
    statusMenu_->item(MenuCommand::toggleAudioRecording).title = services_.localization.localized(
        audioRecording ? StatusMenu::StopAudioTitle : StatusMenu::RecordAudioTitle);
  }
  publishMenu();
}

void StatusItemController::recordingStateChanged() {
  services_.mainQueue.async(lifetime_.guard([this] { applyStatusItemAppearance(); }));
}

void StatusItemController::publishMenu() {
  if (statusItem_ && statusMenu_) {
    statusItem_->setMenu(statusMenu_->items());
  }
}

void StatusItemController::perform(MenuCommand command) {
  // Commands come from the menu, so there is none before it exists.
  // A greyed item cannot be chosen on a real menu; a scripted choice is
  // ignored alike.
  if (!statusMenu_ || !isLive(command)) {
    return;
  }
  const ActionTable& actions = services_.actions;
  switch (command) {
  case MenuCommand::openQuillonSite:
    services_.workspace.openUrl(promotion::QuillonSiteUrl);
    return;
  case MenuCommand::openParlandoSite:
    services_.workspace.openUrl(promotion::ParlandoSiteUrl);
    return;
  case MenuCommand::toggleLanguageSwitch:
    return toggle(Settings::Key::languageSwitchEnabled);
  case MenuCommand::toggleCopyKeys:
    return toggle(Settings::Key::copyKeysEnabled);
  case MenuCommand::toggleAutoSwitch:
    return toggleAutoSwitch();
  case MenuCommand::toggleDictionaryCorrection:
    return toggle(Settings::Key::dictionaryCorrectionEnabled);
  case MenuCommand::toggleExcludeFrontmostApp:
    return toggleExcludedApp();
  case MenuCommand::forgetLearnedWords:
    return forgetLearnedWords();
  case MenuCommand::toggleSleepBlocker:
    return toggleSleepBlocker();
  case MenuCommand::togglePunctuationRemaps:
    return toggle(Settings::Key::punctuationRemapsEnabled);
  case MenuCommand::toggleInvertMouseWheel:
    return toggle(Settings::Key::invertMouseWheelEnabled);
  case MenuCommand::toggleFolderPeek:
    return toggleStartingService(Settings::Key::folderPeekEnabled, Action::startFolderPeek,
                                 Action::stopFolderPeek);
  case MenuCommand::toggleDesktopFolderIcons:
    return toggleStartingService(Settings::Key::desktopFolderIconsEnabled,
                                 Action::startDesktopFolderIcons, Action::stopDesktopFolderIcons);
  case MenuCommand::toggleOneCDoubleClick:
    return toggle(Settings::Key::oneCDoubleClickToF2Enabled);
  case MenuCommand::captureScreenshot:
    return actions.perform(Action::captureAreaScreenshot);
  case MenuCommand::recordFullScreenVideo:
    return actions.perform(Action::recordFullScreenVideo);
  case MenuCommand::recordRegionVideo:
    return actions.perform(Action::openScreenVideoOverlay);
  case MenuCommand::toggleAudioRecording:
    return actions.perform(Action::toggleAudioRecording);
  case MenuCommand::createWebApp:
    return actions.perform(Action::createWebApp);
  case MenuCommand::menuPinAboveAll:
    return runWindowActionAfterRefocus(Action::togglePinFocusedWindow);
  case MenuCommand::menuSnapLeft:
    return runWindowActionAfterRefocus(Action::snapLeftHalf);
  case MenuCommand::menuSnapRight:
    return runWindowActionAfterRefocus(Action::snapRightHalf);
  case MenuCommand::menuSnapMaximize:
    return runWindowActionAfterRefocus(Action::snapMaximize);
  case MenuCommand::menuSnapCenter:
    return runWindowActionAfterRefocus(Action::snapCenter);
  case MenuCommand::menuSnapTopLeft:
    return runWindowActionAfterRefocus(Action::snapTopLeft);
  case MenuCommand::menuSnapTopRight:
    return runWindowActionAfterRefocus(Action::snapTopRight);
  case MenuCommand::menuSnapBottomLeft:
    return runWindowActionAfterRefocus(Action::snapBottomLeft);
  case MenuCommand::menuSnapBottomRight:
    return runWindowActionAfterRefocus(Action::snapBottomRight);
  case MenuCommand::toggleAutoSnapMouseDrag:
    return toggleWindowPositions(Settings::Key::autoSnapMouseDragEnabled);
  case MenuCommand::toggleRestorePositions:
    return toggleWindowPositions(Settings::Key::restoreWindowPositionsEnabled);
  case MenuCommand::menuShowClipboardHistory:
    return showClipboardHistory();
  case MenuCommand::toggleLaunchAtLogin:
    return toggleLaunchAtLogin();
  case MenuCommand::toggleAutoEnable:
    return toggle(Settings::Key::autoEnableOnLaunch);
  case MenuCommand::openAccessibility:
    return actions.perform(Action::openAccessibilitySettings);
  case MenuCommand::restartApp:
    return actions.perform(Action::restartApp);
  case MenuCommand::quit:
    return actions.perform(Action::quit);
  }
}

// The event tap and every other reader see the new value on their next read.
void StatusItemController::toggle(Settings::Key key) {
  services_.settings.set(!services_.settings.value(key), key);
}

void StatusItemController::toggleAutoSwitch() {
  toggle(Settings::Key::autoSwitchLayoutEnabled);
  services_.hud.show(services_.localization.localized(
      services_.settings.autoSwitchLayoutEnabled() ? autoSwitchOnMessage : autoSwitchOffMessage));
}

// The application is the one in front when the menu opened, never this one.
void StatusItemController::toggleExcludedApp() {
  if (!prevFrontmostApp_) {
    return;
  }
  const std::string key = AutoSwitcher::applicationKey(*prevFrontmostApp_);
  auto excluded = services_.settings.list(Settings::ListKey::autoSwitchExcludedApps);
  if (std::erase(excluded, key) == 0) {
    excluded.push_back(key);
  }
  services_.settings.setList(excluded, Settings::ListKey::autoSwitchExcludedApps);
}

void StatusItemController::forgetLearnedWords() {
  services_.settings.setList({}, Settings::ListKey::autoSwitchNeverSwitch);
}

void StatusItemController::updateCorrectionItems() {
  MenuItem& exclude = statusMenu_->item(MenuCommand::toggleExcludeFrontmostApp);
  const auto excluded = services_.settings.list(Settings::ListKey::autoSwitchExcludedApps);
  if (prevFrontmostApp_) {
    exclude.title = services_.localization.localized(StatusMenu::ExcludeAppTitle) + " " +
                    prevFrontmostApp_->localizedName;
    exclude.enabled = true;
    exclude.checked = std::find(excluded.begin(), excluded.end(),
                                AutoSwitcher::applicationKey(*prevFrontmostApp_)) != excluded.end();
  } else {
    exclude.title = services_.localization.localized(StatusMenu::ExcludeNoAppTitle);
    exclude.enabled = false;
    exclude.checked = false;
  }
  const auto learned = services_.settings.list(Settings::ListKey::autoSwitchNeverSwitch);
  MenuItem& forget = statusMenu_->item(MenuCommand::forgetLearnedWords);
  forget.title = services_.localization.localized(StatusMenu::ForgetLearnedWordsTitle) + " (" +
                 std::to_string(learned.size()) + ")";
  forget.enabled = !learned.empty();
}

void StatusItemController::toggleSleepBlocker() {
  // Disabled until the answer comes, so a second request cannot overtake the
  // first while the administrator prompt is up.
  statusMenu_->item(MenuCommand::toggleSleepBlocker).enabled = false;
  publishMenu();
  const bool on = !services_.settings.sleepBlockerEnabled();
  // The answer may come after this controller is gone; only a live one hears
  // it.
  auto succeeded = std::make_shared<bool>(false);
  Task finish =
      lifetime_.guard([this, on, succeeded] { sleepBlockerToggleFinished(on, *succeeded); });
  services_.actions.keepAwake().request(on, [succeeded, finish = std::move(finish)](bool ok) {
    *succeeded = ok;
    finish();
  });
}

void StatusItemController::sleepBlockerToggleFinished(bool on, bool succeeded) {
  statusMenu_->item(MenuCommand::toggleSleepBlocker).enabled = true;
  publishMenu();
  const KeepAwakeSwitch& keepAwake = services_.actions.keepAwake();
  if (succeeded && on && keepAwake.batteryDefeatsIt() &&
      keepAwake.powerSource() == batteryPowerSource) {
    services_.hud.show(services_.localization.localized(plugInMessage));
  }
}

void StatusItemController::toggleStartingService(Settings::Key key, Action start, Action stop) {
  toggle(key);
  services_.actions.perform(services_.settings.value(key) ? start : stop);
}

// The window position manager serves both window switches, so it runs while
// either is on; the tiling margins follow edge snapping alone.
void StatusItemController::toggleWindowPositions(Settings::Key key) {
  toggle(key);
  const Settings& settings = services_.settings;
  const ActionTable& actions = services_.actions;
  actions.perform(settings.autoSnapMouseDragEnabled() || settings.restoreWindowPositionsEnabled()
                      ? Action::startWindowPositionManager
                      : Action::stopWindowPositionManager);
  actions.perform(settings.autoSnapMouseDragEnabled() ? Action::disableTileMargins
                                                      : Action::enableTileMargins);
}

void StatusItemController::runWindowActionAfterRefocus(Action action) {
  runAfterRefocus([&actions = services_.actions, action] { actions.perform(action); });
}

void StatusItemController::runAfterRefocus(std::function<void()> action) {
  MainQueue& mainQueue = services_.mainQueue;
  Workspace& workspace = services_.workspace;
  // A snapshot: if the application quits meanwhile, activation simply fails
  // and the action still runs.
  mainQueue.asyncAfter(RefocusDelay,
                       lifetime_.guard([this, &mainQueue, &workspace, previous = prevFrontmostApp_,
                                        action = std::move(action)] {
                         if (previous) {
                           workspace.activate(*previous, ActivationOptions::AllWindows);
                         }
                         mainQueue.asyncAfter(ActionAfterRefocusDelay, lifetime_.guard(action));
                       }));
}

void StatusItemController::showClipboardHistory() {
  MainQueue& mainQueue = services_.mainQueue;
  Workspace& workspace = services_.workspace;
  const ActionTable& actions = services_.actions;
  // The pop-up pastes into the application the menu was opened over.
  mainQueue.asyncAfter(RefocusDelay, lifetime_.guard([this, &mainQueue, &workspace, &actions,
                                                      target = prevFrontmostApp_] {
    if (target) {
      workspace.activate(*target, ActivationOptions::AllWindows);
    }
    mainQueue.asyncAfter(
        ClipboardHistoryAfterRefocusDelay, lifetime_.guard([&actions, &workspace, target] {
          // Held weakly: an application that has quit since
          // is no target at all.
          const bool alive = target && !workspace.isTerminated(*target);
          actions.perform(Action::showClipboardHistory, alive ? target : std::nullopt);
        }));
  }));
}

void StatusItemController::toggleLaunchAtLogin() {
  LoginItemManager& loginItems = services_.loginItems;
  // The mark shows what the system holds, which after a refusal is not what
  // was asked for.
  statusMenu_->item(MenuCommand::toggleLaunchAtLogin).checked =
      loginItems.setEnabled(!loginItems.isEnabled());
  publishMenu();
}

} // namespace quillon
