#pragma once

#include "app/LoginItemManager.h"
#include "app/StatusItemController.h"
#include "capture/AudioRecorder.h"
#include "capture/ScreenCaptureLocationSetup.h"
#include "capture/ScreenRecordingMonitor.h"
#include "capture/ScreenVideoCapture.h"
#include "capture/ScreenVideoOverlay.h"
#include "capture/ScreenshotCapture.h"
#include "core/ActionTable.h"
#include "core/HUDOverlay.h"
#include "core/NotificationCenter.h"
#include "core/Settings.h"
#include "finder/DesktopFolderIcons.h"
#include "finder/FinderWindowWatcher.h"
#include "finder/FolderPeek.h"
#include "input/EventSynthesizer.h"
#include "input/EventTap.h"
#include "input/LanguageSwitcher.h"
#include "input/SystemWheelReversal.h"
#include "platform/Application.h"
#include "platform/Lifetime.h"
#include "platform/LiveServices.h"
#include "platform/MainQueue.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "power/LidStateMonitor.h"
#include "power/SleepBlocker.h"
#include "util/ClipboardHistory.h"
#include "util/DictationLauncher.h"
#include "webapp/WebAppCreator.h"
#include "windows/AlwaysOnTop.h"
#include "windows/WindowPositionManager.h"
#include "windows/WindowSnapper.h"

#include <array>
#include <memory>

namespace quillon {

// The menu-bar mode's composition root: it owns every feature object, hands
// each the services it uses, and runs the launch sequence in its fixed order.
class AppDelegate final : public ApplicationDelegate {
public:
  // Where the main bundle's own defaults live when it names no identifier.
  static constexpr std::string_view FallbackBundleIdentifier = "com.quillon.Quillon";
  static constexpr Duration PermissionRetryInterval{1.5};
  static constexpr std::string_view AccessibilitySettingsUrl =
      "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

  explicit AppDelegate(Platform& platform);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void applicationDidFinishLaunching() override;

  // Menu actions.
  void restartApp();
  void quit();
  void openAccessibility();

  Settings& settings() { return settings_; }
  NotificationCenter& notifications() { return notifications_; }
  ActionTable& actions() { return actions_; }
  HUDOverlay& hud() { return hud_; }
  LoginItemManager& loginItems() { return loginItems_; }
  StatusItemController& statusItem() { return statusItem_; }
  SleepBlocker& sleepBlocker() { return sleepBlocker_; }
  LidStateMonitor& lidMonitor() { return lidMonitor_; }
  ScreenVideoCapture& screenVideo() { return screenVideo_; }
  AudioRecorder& audioRecorder() { return audioRecorder_; }
  ScreenRecordingMonitor& screenRecordingMonitor() { return screenRecordingMonitor_; }
  WindowSnapper& windowSnapper() { return windowSnapper_; }
  AlwaysOnTop& alwaysOnTop() { return alwaysOnTop_; }
  WindowPositionManager& windowPositions() { return windowPositions_; }
  ClipboardHistory& clipboardHistory() { return clipboardHistory_; }
  DictationLauncher& dictationLauncher() { return dictationLauncher_; }
  FinderWindowWatcher& finderWindowWatcher() { return finderWindowWatcher_; }
  FolderPeek& folderPeek() { return folderPeek_; }
  DesktopFolderIcons& desktopFolderIcons() { return desktopFolderIcons_; }
  WebAppCreator& webAppCreator() { return webAppCreator_; }
  EventTap* eventTap() { return eventTap_.get(); }
  const EventTap* eventTap() const { return eventTap_.get(); }
  bool isWaitingForAccessibility() const { return permissionTimer_.isScheduled(); }

private:
  bool isLive(Capability capability) const { return platform_.liveServices.isLive(capability); }
  void reportServicesNotLive();
  void applyAutoEnable();
  void reconcileKeepAwake();
  void startLidMonitor();
  void lidClosed();
  void observeNotifications();
  void bootstrapEventTap();
  void retryEventTap();
  std::unique_ptr<EventTap> makeEventTap();
  void wireActions();
  void wireCaptureActions();
  void wireWindowActions();
  void startWindowPositions();
  void wireUtilityActions();
  void wireFinderActions();
  void startFinderWindowWatcher();
  void folderOpened(const std::filesystem::path& folder);
  void startFinderServices();

  Platform& platform_;
  NotificationCenter notifications_;
  Settings settings_;
  ActionTable actions_;
  EventSynthesizer synthesizer_;
  LanguageSwitcher languageSwitcher_;
  HUDOverlay hud_;
  SleepBlocker sleepBlocker_;
  LidStateMonitor lidMonitor_;
  ScreenshotCapture screenshot_;
  ScreenVideoCapture screenVideo_;
  ScreenVideoOverlay screenVideoOverlay_;
  AudioRecorder audioRecorder_;
  ScreenCaptureLocationSetup captureLocation_;
  ScreenRecordingMonitor screenRecordingMonitor_;
  LoginItemManager loginItems_;
  StatusItemController statusItem_;
  WindowSnapper windowSnapper_;
  AlwaysOnTop alwaysOnTop_;
  WindowPositionManager windowPositions_;
  ClipboardHistory clipboardHistory_;
  DictationLauncher dictationLauncher_;
  FinderWindowWatcher finderWindowWatcher_;
  FolderPeek folderPeek_;
  DesktopFolderIcons desktopFolderIcons_;
  WebAppCreator webAppCreator_;
  SystemWheelReversal wheelReversal_;
  std::unique_ptr<EventTap> eventTap_;
  ScheduledTask permissionTimer_;
  std::array<NotificationCenter::Observation, 3> observations_;
  Lifetime lifetime_;
};

} // namespace quillon
