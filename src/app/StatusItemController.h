#pragma once

#include "app/LoginItemManager.h"
#include "app/MenuCommand.h"
#include "app/StatusMenu.h"
#include "core/ActionTable.h"
#include "core/HUDOverlay.h"
#include "core/Settings.h"
#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/LiveServices.h"
#include "platform/Localization.h"
#include "platform/MainQueue.h"
#include "platform/UserInterface.h"
#include "platform/Workspace.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The product's whole user interface: the item in the menu bar and the menu
// behind it. It tells a click that opens the menu from one that stops a
// recording or takes a quick screenshot, keeps the menu's check marks true
// to the settings, and runs what each menu item stands for.
class StatusItemController {
public:
  struct Dependencies {
    UserInterface& userInterface;
    MainQueue& mainQueue;
    const EventTaps& eventTaps;
    Workspace& workspace;
    const Localization& localization;
    Settings& settings;
    const ActionTable& actions;
    HUDOverlay& hud;
    LoginItemManager& loginItems;
    const LiveServices& liveServices;
    // Why nothing can start dictation here, asked when the menu is built.
    std::function<std::optional<std::string>()> whyNoDictation;
    // This application's own bundle identifier, to recognise it when it is
    // frontmost.
    std::string ownBundleIdentifier;
  };

  // Opening the menu activates this application; actions on the focused
  // window first hand the focus back, then give that a moment to land.
  static constexpr Duration RefocusDelay{0.05};
  static constexpr Duration ActionAfterRefocusDelay{0.08};
  static constexpr Duration ClipboardHistoryAfterRefocusDelay{0.07};

  explicit StatusItemController(Dependencies dependencies);
  StatusItemController(const StatusItemController&) = delete;
  StatusItemController& operator=(const StatusItemController&) = delete;

  // Puts the item in the menu bar with its menu; called once at launch.
  void setupStatusItem();
  void handleStatusClick(const StatusItemClick& click);
  void showStatusMenu();
  void menuWillOpen();
  void refreshMenuState();
  void applyStatusItemAppearance();
  // The recorders post from wherever they are; the item changes on the main
  // queue.
  void recordingStateChanged();
  void perform(MenuCommand command);

  // Gives focus back to the application that was frontmost when the menu
  // opened, then runs the action about 0.13 s after the menu choice.
  void runAfterRefocus(std::function<void()> action);

  const std::optional<RunningApplication>& prevFrontmostApp() const { return prevFrontmostApp_; }
  // Absent until the item is set up.
  const StatusMenu* statusMenu() const { return statusMenu_ ? &*statusMenu_ : nullptr; }
  bool isMenuShowPending() const { return pendingMenuShow_.isScheduled(); }

private:
  void toggle(Settings::Key key);
  void toggleAutoSwitch();
  void toggleExcludedApp();
  void forgetLearnedWords();
  void toggleSleepBlocker();
  void sleepBlockerToggleFinished(bool on, bool succeeded);
  void toggleStartingService(Settings::Key key, Action start, Action stop);
  void toggleWindowPositions(Settings::Key key);
  void showClipboardHistory();
  void toggleLaunchAtLogin();
  void runWindowActionAfterRefocus(Action action);
  bool isThisApplication(const RunningApplication& application) const;
  // Hands the menu model to the item; every change ends here.
  void publishMenu();
  void updateCheckMarks();
  // Their titles name the application in front and the words learned.
  void updateCorrectionItems();
  void greyItemsNotLive();
  bool isLive(MenuCommand command) const;

  Dependencies services_;
  std::unique_ptr<StatusItem> statusItem_;
  std::optional<StatusMenu> statusMenu_;
  ScheduledTask pendingMenuShow_;
  std::optional<RunningApplication> prevFrontmostApp_;
  Lifetime lifetime_;
};

} // namespace quillon
