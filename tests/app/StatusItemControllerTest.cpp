// The status item and its menu, driven as the user drives them: clicks on the
// item and choices in the menu on the simulated desktop, with the real
// composition root behind them.
#include "app/StatusItemController.h"

#include "app/AppDelegate.h"
#include "app/MenuSearch.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";
constexpr Duration doubleClickInterval{0.3};

class StatusItemTest : public ::testing::Test {
protected:
  StatusItemTest() {
    desktop.eventTaps().setDoubleClickInterval(doubleClickInterval);
    desktop.application().run(app);
    desktop.runUntilIdle();
  }

  SimUserInterface& ui() { return desktop.userInterface(); }
  const SimStatusItemRecord& item() { return *ui().statusItem(); }
  // The item as the menu on screen shows it.
  const MenuItem& shown(MenuCommand command) { return *findMenuItem(item().menu, command); }
  void click(MouseButton button, int clickCount = 1) { ui().clickStatusItem(button, clickCount); }

  // Opens the menu the way that always works, lets it refresh, and picks the
  // item, as a user would.
  MenuChoice choose(MenuCommand command) {
    if (!item().menuShowing) {
      click(MouseButton::Right);
      desktop.runUntilIdle();
    }
    return ui().chooseMenuItem(menuPathTo(item().menu, command));
  }

  // Records the action by name instead of performing it.
  void record(std::initializer_list<Action> recorded) {
    for (const Action action : recorded) {
      app.actions().wire(action, [this, action] { performed.emplace_back(actionName(action)); });
    }
  }
  std::vector<std::string> takePerformed() { return std::exchange(performed, {}); }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
  std::vector<std::string> performed;
};

using Names = std::vector<std::string>;

// --- Clicks on the item -----------------------------------------------------

TEST_F(StatusItemTest, ALeftClickOpensTheMenuOnlyOnceTheDoubleClickIntervalHasPassed) {
  click(MouseButton::Left);
  desktop.advance(doubleClickInterval - Duration(0.001));
  EXPECT_EQ(item().menuShownCount, 0);
  desktop.advance(Duration(0.001));
  EXPECT_TRUE(item().menuShowing);
  EXPECT_EQ(item().menuShownCount, 1);
  EXPECT_FALSE(app.statusItem().isMenuShowPending());
}

TEST_F(StatusItemTest, ADoubleClickTakesAScreenshotAndNeverOpensTheMenu) {
  record({Action::captureAreaScreenshot});
  click(MouseButton::Left, 1);
  desktop.advance(Duration(0.2));
  click(MouseButton::Left, 2);
  desktop.advance(Duration(5));
  EXPECT_EQ(item().menuShownCount, 0);
  EXPECT_EQ(performed, Names{"captureAreaScreenshot"});
}

TEST_F(StatusItemTest, ARightClickShowsTheMenuAtOnceAndCancelsAWaitingLeftClick) {
  click(MouseButton::Left);
  click(MouseButton::Right);
  EXPECT_TRUE(item().menuShowing);
  ui().dismissMenu();
  desktop.advance(Duration(1));
  EXPECT_EQ(item().menuShownCount, 1);
}

TEST_F(StatusItemTest, DuringARecordingALeftClickStopsItAndOnlyARightClickShowsTheMenu) {
  record({Action::stopAudioRecording, Action::interruptScreenVideo, Action::captureAreaScreenshot});
  bool audio = false;
  bool video = false;
  RecordingStatus& recording = app.actions().recordingStatus();
  recording.audioRecording = [&] { return audio; };
  recording.screenVideoRunning = [&] { return video; };

  click(MouseButton::Left);
  // A recording started from its hotkey while the menu was waiting to open.
  audio = true;
  click(MouseButton::Left);
  desktop.advance(Duration(1));
  EXPECT_EQ(item().menuShownCount, 0) << "the stopping click cancels the waiting menu";
  // Both are told to stop; the idle one ignores it.
  EXPECT_EQ(takePerformed(), (Names{"stopAudioRecording", "interruptScreenVideo"}));

  audio = false;
  video = true;
  click(MouseButton::Left, 1);
  click(MouseButton::Left, 2);
  desktop.advance(Duration(1));
  EXPECT_EQ(takePerformed(), (Names{"stopAudioRecording", "interruptScreenVideo",
                                    "stopAudioRecording", "interruptScreenVideo"}))
      << "no screenshot while recording";

  click(MouseButton::Right);
  EXPECT_TRUE(item().menuShowing);
  EXPECT_TRUE(performed.empty());
}

TEST_F(StatusItemTest, TheItemShowsTheRecordingStateOnceTheMainQueueRuns) {
  const StatusItemAppearance idle{.title = "QL",
                                  .color = NamedColor::Label,
                                  .fontSize = 12,
                                  .weight = FontWeight::Semibold,
                                  .monospaced = true};
  const StatusItemAppearance recordingLook{.title = "●",
                                           .color = NamedColor::SystemRed,
                                           .fontSize = 14,
                                           .weight = FontWeight::Bold,
                                           .tooltip = "Recording — click to stop"};
  EXPECT_EQ(item().appearance, idle);
  bool audio = false;
  bool video = false;
  RecordingStatus& recording = app.actions().recordingStatus();
  recording.audioRecording = [&] { return audio; };
  recording.screenVideoRunning = [&] { return video; };

  audio = true;
  app.notifications().post(RecordingStatus::AudioRecorderStateNotification);
  EXPECT_EQ(item().appearance, idle) << "a recorder may post from anywhere";
  desktop.runUntilIdle();
  EXPECT_EQ(item().appearance, recordingLook);
  EXPECT_EQ(shown(MenuCommand::toggleAudioRecording).title, "Stop audio recording");

  audio = false;
  video = true;
  app.notifications().post(RecordingStatus::ScreenVideoStateNotification);
  desktop.runUntilIdle();
  EXPECT_EQ(item().appearance, recordingLook);
  EXPECT_EQ(shown(MenuCommand::toggleAudioRecording).title, "Record audio (⌃⌘R)");

  video = false;
  app.notifications().post(RecordingStatus::ScreenVideoStateNotification);
  desktop.runUntilIdle();
  EXPECT_EQ(item().appearance, idle);
}

// --- Acting on the application the menu was opened over ---------------------

TEST_F(StatusItemTest, AWindowActionRuns013SecondsAfterTheChoiceOnTheApplicationUsedBefore) {
  record({Action::snapLeftHalf});
  const int editor = desktop.bringToFront("com.example.editor");
  click(MouseButton::Right);
  desktop.runUntilIdle();
  ui().dismissMenu();
  // Then one of our own windows comes to the front; opening the menu over it
  // must not make it the target.
  desktop.bringToFront(std::string(domain));
  desktop.journal().clear();
  ASSERT_EQ(choose(MenuCommand::menuSnapLeft), MenuChoice::Chosen);
  EXPECT_EQ(app.statusItem().prevFrontmostApp()->processIdentifier, editor);

  desktop.advance(Duration(0.049));
  EXPECT_TRUE(desktop.journal().entries().empty());
  desktop.advance(Duration(0.001));
  EXPECT_EQ(desktop.journal().entries(),
            Names{"activate " + std::to_string(editor) + " options 1"});
  desktop.advance(Duration(0.079));
  EXPECT_TRUE(performed.empty());
  desktop.advance(Duration(0.001));
  EXPECT_EQ(performed, Names{"snapLeftHalf"});
  EXPECT_EQ(desktop.workspace().frontmostApplication()->processIdentifier, editor);
}

TEST_F(StatusItemTest, AWindowActionStillRunsWhenThatApplicationHasQuit) {
  record({Action::togglePinFocusedWindow});
  const int editor = desktop.bringToFront("com.example.editor");
  ASSERT_EQ(choose(MenuCommand::menuPinAboveAll), MenuChoice::Chosen);
  desktop.workspace().quit(editor);
  desktop.journal().clear();
  desktop.advance(Duration(0.13));
  EXPECT_EQ(performed, Names{"togglePinFocusedWindow"});
  EXPECT_TRUE(desktop.journal().entries().empty());
}

TEST_F(StatusItemTest, EachWindowItemRunsItsOwnAction) {
  const std::vector<std::pair<MenuCommand, Action>> windowItems{
      {MenuCommand::menuPinAboveAll, Action::togglePinFocusedWindow},
      {MenuCommand::menuSnapLeft, Action::snapLeftHalf},
      {MenuCommand::menuSnapRight, Action::snapRightHalf},
      {MenuCommand::menuSnapMaximize, Action::snapMaximize},
      {MenuCommand::menuSnapCenter, Action::snapCenter},
      {MenuCommand::menuSnapTopLeft, Action::snapTopLeft},
      {MenuCommand::menuSnapTopRight, Action::snapTopRight},
      {MenuCommand::menuSnapBottomLeft, Action::snapBottomLeft},
      {MenuCommand::menuSnapBottomRight, Action::snapBottomRight},
  };
  for (const auto& [command, action] : windowItems) {
    record({action});
    ASSERT_EQ(choose(command), MenuChoice::Chosen) << menuCommandName(command);
    desktop.advance(Duration(0.13));
    EXPECT_EQ(takePerformed(), Names{std::string(actionName(action))}) << menuCommandName(command);
  }
}

TEST_F(StatusItemTest, ClipboardHistoryOpensForTheApplicationItWillPasteInto) {
  std::vector<ActionTarget> targets;
  app.actions().wire(Action::showClipboardHistory,
                     [&](const ActionTarget& target) { targets.push_back(target); });
  const int editor = desktop.bringToFront("com.example.editor");
  ASSERT_EQ(choose(MenuCommand::menuShowClipboardHistory), MenuChoice::Chosen);
  desktop.journal().clear();
  desktop.advance(Duration(0.05));
  EXPECT_EQ(desktop.journal().entries(),
            Names{"activate " + std::to_string(editor) + " options 1"});
  desktop.advance(Duration(0.069));
  EXPECT_TRUE(targets.empty());
  desktop.advance(Duration(0.001));
  ASSERT_EQ(targets.size(), 1u);
  ASSERT_TRUE(targets.front());
  EXPECT_EQ(targets.front()->processIdentifier, editor);
}

// --- Check marks and toggles ---------------------------------------------------

TEST_F(StatusItemTest, CheckMarksFollowSettingsChangedElsewhere) {
  EXPECT_TRUE(shown(MenuCommand::toggleAutoSwitch).checked);
  // A Shift double-tap, with the menu closed.
  desktop.keyboard().keyDown(keycode::Shift);
  desktop.keyboard().keyUp(keycode::Shift);
  desktop.advance(Duration(0.2));
  desktop.keyboard().keyDown(keycode::Shift);
  desktop.keyboard().keyUp(keycode::Shift);
  desktop.runUntilIdle();
  ASSERT_FALSE(app.settings().autoSwitchLayoutEnabled());
  EXPECT_FALSE(shown(MenuCommand::toggleAutoSwitch).checked);

  // Written behind the product's back: the menu catches up as it opens.
  desktop.defaults().set(domain, "invertMouseWheelEnabled", true);
  click(MouseButton::Right);
  EXPECT_FALSE(shown(MenuCommand::toggleInvertMouseWheel).checked);
  desktop.runUntilIdle();
  EXPECT_TRUE(shown(MenuCommand::toggleInvertMouseWheel).checked);
}

TEST_F(StatusItemTest, EachToggleFlipsItsOwnSettingAndAnnouncesItOnce) {
  int announcements = 0;
  const auto observation =
      app.notifications().observe(Settings::ChangedNotification, [&] { ++announcements; });
  for (const SettingToggle& toggle : StatusMenu::SettingToggles) {
    // Keep-awake changes only when the system agrees; it has its own test.
    if (toggle.command == MenuCommand::toggleSleepBlocker) {
      continue;
    }
    const std::string_view name = Settings::name(toggle.key);
    const bool before = app.settings().value(toggle.key);
    announcements = 0;
    ASSERT_EQ(choose(toggle.command), MenuChoice::Chosen) << name;
    EXPECT_EQ(app.settings().value(toggle.key), !before) << name;
    EXPECT_EQ(announcements, 1) << name;
    EXPECT_EQ(shown(toggle.command).checked, !before) << name;
  }
}

TEST_F(StatusItemTest, ServiceTogglesStartAndStopTheirServices) {
  record({Action::startFolderPeek, Action::stopFolderPeek, Action::startDesktopFolderIcons,
          Action::stopDesktopFolderIcons, Action::startWindowPositionManager,
          Action::stopWindowPositionManager, Action::enableTileMargins,
          Action::disableTileMargins});
  choose(MenuCommand::toggleFolderPeek);
  choose(MenuCommand::toggleFolderPeek);
  EXPECT_EQ(takePerformed(), (Names{"stopFolderPeek", "startFolderPeek"}));
  choose(MenuCommand::toggleDesktopFolderIcons);
  EXPECT_EQ(takePerformed(), Names{"stopDesktopFolderIcons"});

  // The position manager runs while either window switch is on; margins
  // come back only while edge snapping is off.
  ASSERT_TRUE(app.settings().autoSnapMouseDragEnabled());
  ASSERT_FALSE(app.settings().restoreWindowPositionsEnabled());
  choose(MenuCommand::toggleAutoSnapMouseDrag);
  EXPECT_EQ(takePerformed(), (Names{"stopWindowPositionManager", "enableTileMargins"}));
  choose(MenuCommand::toggleRestorePositions);
  EXPECT_EQ(takePerformed(), (Names{"startWindowPositionManager", "enableTileMargins"}));
  choose(MenuCommand::toggleAutoSnapMouseDrag);
  EXPECT_EQ(takePerformed(), (Names{"startWindowPositionManager", "disableTileMargins"}));
  choose(MenuCommand::toggleRestorePositions);
  EXPECT_EQ(takePerformed(), (Names{"startWindowPositionManager", "disableTileMargins"}));
}

TEST_F(StatusItemTest, TheAutoSwitchToggleConfirmsOnScreen) {
  ui().takeHudMessages();
  choose(MenuCommand::toggleAutoSwitch);
  desktop.runUntilIdle();
  EXPECT_EQ(ui().takeHudMessages(), Names{"Auto-switch OFF"});
  choose(MenuCommand::toggleAutoSwitch);
  desktop.runUntilIdle();
  EXPECT_EQ(ui().takeHudMessages(), Names{"Auto-switch ON"});
}

TEST_F(StatusItemTest, CaptureAndWebAppItemsGoThroughTheActionTable) {
  record({Action::captureAreaScreenshot, Action::recordFullScreenVideo,
          Action::toggleAudioRecording, Action::createWebApp});
  for (const MenuCommand command :
       {MenuCommand::captureScreenshot, MenuCommand::recordFullScreenVideo,
        MenuCommand::toggleAudioRecording, MenuCommand::createWebApp}) {
    ASSERT_EQ(choose(command), MenuChoice::Chosen);
  }
  EXPECT_EQ(takePerformed(), (Names{"captureAreaScreenshot", "recordFullScreenVideo",
                                    "toggleAudioRecording", "createWebApp"}));
  // The region item presses the system's own shortcut, already wired.
  desktop.log().takeNewLines();
  choose(MenuCommand::recordRegionVideo);
  EXPECT_EQ(desktop.log().takeNewLines(),
            Names{"Quillon video: opening macOS overlay (Shift+Cmd+5)"});
}

TEST_F(StatusItemTest, LinksAndTheShellItems) {
  choose(MenuCommand::openQuillonSite);
  // The messenger's link line opens the same page as its title line.
  click(MouseButton::Right);
  ASSERT_EQ(ui().chooseMenuItem({"parlando.chat →"}), MenuChoice::Chosen);
  choose(MenuCommand::openAccessibility);
  EXPECT_EQ(
      desktop.workspace().openedUrls(),
      (Names{"https://quillon.app", "https://parlando.chat",
             "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"}));
  EXPECT_FALSE(desktop.application().isTerminated());
  choose(MenuCommand::quit);
  EXPECT_TRUE(desktop.application().isTerminated());
}

// --- Keep-awake -----------------------------------------------------------------

class KeepAwakeTest : public StatusItemTest {
protected:
  KeepAwakeTest() {
    KeepAwakeSwitch& keepAwake = app.actions().keepAwake();
    keepAwake.requestToggle = [this](bool on, KeepAwakeSwitch::Completion completion) {
      requests.push_back(on);
      pending = std::move(completion);
    };
    keepAwake.currentPowerSource = [this] { return powerSource; };
    ui().takeHudMessages();
  }

  // The service's answer, as it arrives on the main queue: on success it has
  // stored the new state first.
  void answer(bool succeeded) {
    if (succeeded) {
      app.settings().set(requests.back(), Settings::Key::sleepBlockerEnabled);
    }
    std::exchange(pending, {})(succeeded);
    desktop.runUntilIdle();
  }

  std::vector<bool> requests;
  KeepAwakeSwitch::Completion pending;
  std::optional<std::string> powerSource = "Battery Power";
};

TEST_F(KeepAwakeTest, TheItemWaitsDisabledForTheAnswer) {
  ASSERT_EQ(choose(MenuCommand::toggleSleepBlocker), MenuChoice::Chosen);
  EXPECT_EQ(requests, std::vector<bool>{true});
  EXPECT_FALSE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_EQ(choose(MenuCommand::toggleSleepBlocker), MenuChoice::Disabled);
  ui().dismissMenu();

  answer(true);
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).checked);
  EXPECT_EQ(ui().takeHudMessages(), Names{"Plug in — macOS forces lid sleep on battery"});
}

TEST_F(KeepAwakeTest, OnlyTurningItOnOnBatteryWarns) {
  choose(MenuCommand::toggleSleepBlocker);
  answer(false); // the administrator prompt was cancelled
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_FALSE(shown(MenuCommand::toggleSleepBlocker).checked);

  powerSource = "AC Power";
  choose(MenuCommand::toggleSleepBlocker);
  answer(true);
  powerSource = "Battery Power";
  choose(MenuCommand::toggleSleepBlocker);
  answer(true);
  EXPECT_EQ(requests, (std::vector<bool>{true, true, false}));
  EXPECT_TRUE(ui().takeHudMessages().empty());
}

TEST_F(KeepAwakeTest, AnAnswerAfterTheApplicationHasGoneIsIgnored) {
  SimDesktop other;
  auto shortLived = std::make_unique<AppDelegate>(other.platform());
  KeepAwakeSwitch::Completion late;
  shortLived->actions().keepAwake().requestToggle = [&](bool, KeepAwakeSwitch::Completion done) {
    late = std::move(done);
  };
  other.application().run(*shortLived);
  other.userInterface().clickStatusItem(MouseButton::Right);
  other.runUntilIdle();
  ASSERT_EQ(other.userInterface().chooseMenuItem({"Keep awake on lid close (⌃⌘S)"}),
            MenuChoice::Chosen);
  shortLived.reset();
  late(true);
  other.runUntilIdle();
  EXPECT_TRUE(other.userInterface().takeHudMessages().empty());
}

TEST_F(StatusItemTest, WithoutAKeepAwakeServiceTheToggleChangesNothing) {
  app.actions().keepAwake().requestToggle = nullptr;
  ASSERT_EQ(choose(MenuCommand::toggleSleepBlocker), MenuChoice::Chosen);
  desktop.runUntilIdle();
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_FALSE(shown(MenuCommand::toggleSleepBlocker).checked);
  EXPECT_FALSE(app.settings().sleepBlockerEnabled());
}

// --- Launch at login ---------------------------------------------------------------

TEST_F(StatusItemTest, LaunchAtLoginShowsWhatTheSystemHolds) {
  EXPECT_FALSE(shown(MenuCommand::toggleLaunchAtLogin).checked);
  choose(MenuCommand::toggleLaunchAtLogin);
  EXPECT_TRUE(shown(MenuCommand::toggleLaunchAtLogin).checked);
  EXPECT_EQ(desktop.loginItems().status(), LoginItemStatus::Enabled);

  // Removed in the system's settings: the mark follows when the menu opens.
  desktop.loginItems().setStatus(LoginItemStatus::NotRegistered);
  click(MouseButton::Right);
  EXPECT_FALSE(shown(MenuCommand::toggleLaunchAtLogin).checked);

  desktop.loginItems().refuseWith("Operation not permitted");
  desktop.log().takeNewLines();
  ASSERT_EQ(ui().chooseMenuItem({"Launch at login"}), MenuChoice::Chosen);
  EXPECT_FALSE(shown(MenuCommand::toggleLaunchAtLogin).checked);
  EXPECT_EQ(desktop.log().takeNewLines(),
            Names{"Quillon: failed to update login item: Operation not permitted"});
}

} // namespace
} // namespace quillon
