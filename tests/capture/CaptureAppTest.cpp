// Capture in the running application: hotkeys, menu items and the status
// item's recording state, with the launch's capture steps.
#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class CaptureAppTest : public ::testing::Test {
protected:
  CaptureAppTest() {
    desktop.application().run(app);
    desktop.runUntilIdle();
    desktop.log().takeNewLines();
  }

  void chord(std::initializer_list<KeyCode> modifiers, KeyCode key) {
    for (const KeyCode modifier : modifiers) {
      desktop.keyboard().keyDown(modifier);
    }
    desktop.keyboard().tap(key);
    for (const KeyCode modifier : modifiers) {
      desktop.keyboard().keyUp(modifier);
    }
    desktop.runUntilIdle();
  }
  MenuChoice choose(std::string title) {
    desktop.userInterface().clickStatusItem(MouseButton::Right);
    desktop.runUntilIdle();
    const MenuChoice choice = desktop.userInterface().chooseMenuItem({std::move(title)});
    desktop.runUntilIdle();
    return choice;
  }
  const StatusItemAppearance& look() { return desktop.userInterface().statusItem()->appearance; }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

TEST_F(CaptureAppTest, TheLaunchPointsTheSystemCaptureLocationAtTheScreenFolder) {
  SimDesktop fresh;
  fresh.permissions().setScreenCaptureAccess(false);
  AppDelegate launched{fresh.platform()};
  fresh.application().run(launched);
  const std::string screen =
      (*fresh.directories().documents() / "Parlando Files" / "screen").string();
  const Lines lines = fresh.log().takeNewLines();
  const Lines expected{"Quillon LidStateMonitor: started, initial closed=Optional(false)",
                       "Quillon FinderWindowWatcher: Finder not running yet",
                       "Quillon TCC: screen recording NOT granted — will auto-restart on grant",
                       "Quillon dictation: installed default shortcut ⌃⌥⌘D into entry #164",
                       "Quillon captureLoc: changing location from '<default ~/Desktop>' to '" +
                           screen + "'",
                       "Quillon: event tap started",
                       "Quillon DesktopFolderIcons: start",
                       "Quillon WindowPositionManager: started",
                       "Quillon: EnableTiledWindowMargins nil → false"};
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), expected);
  EXPECT_EQ(fresh.defaults().object("com.apple.screencapture", "location"), PropertyValue(screen));
  EXPECT_TRUE(launched.screenRecordingMonitor().isWatching());
}

TEST_F(CaptureAppTest, OptionShiftSPutsTheSelectionOnTheClipboard) {
  chord({keycode::Option, keycode::Shift}, keycode::S);
  ASSERT_EQ(desktop.pasteboard().items().size(), 1u);
  EXPECT_TRUE(desktop.pasteboard().items().front().representations.contains("public.jpeg"));
  EXPECT_TRUE(desktop.log().takeNewLines().front().starts_with("Quillon screenshot: saved "));
  ASSERT_EQ(choose("Capture screen area to clipboard (⌥⇧S)"), MenuChoice::Chosen);
  // pmset, the settings tool and killall at launch, then the two captures.
  EXPECT_EQ(desktop.processes().spawns().size(), 5u);
}

TEST_F(CaptureAppTest, AFullScreenRecordingTurnsTheItemIntoItsStopButton) {
  ASSERT_EQ(choose("Record full-screen video"), MenuChoice::Chosen);
  EXPECT_EQ(look().title, "●");
  EXPECT_EQ(look().tooltip, "Recording — click to stop");
  ASSERT_EQ(choose("Record full-screen video"), MenuChoice::Chosen);
  EXPECT_TRUE(desktop.log().contains("Quillon video: start ignored — already recording"));

  desktop.userInterface().clickStatusItem(MouseButton::Left);
  desktop.advance(Duration(1));
  EXPECT_FALSE(app.screenVideo().isRunning());
  EXPECT_EQ(look().title, "QL");
  EXPECT_EQ(desktop.userInterface().statusItem()->menuShownCount, 2);
  EXPECT_TRUE(desktop.log().lines().back().starts_with("Quillon video: saved "));
}

TEST_F(CaptureAppTest, ControlCommandRRecordsAudioAndTheItemStopsIt) {
  chord({keycode::Control, keycode::Command}, keycode::R);
  ASSERT_TRUE(app.audioRecorder().isRecording());
  EXPECT_EQ(look().title, "●");
  EXPECT_FALSE(desktop.userInterface().menuItemsAlong({"Stop audio recording"}).empty());

  desktop.userInterface().clickStatusItem(MouseButton::Left);
  desktop.advance(Duration(1));
  EXPECT_FALSE(app.audioRecorder().isRecording());
  EXPECT_EQ(look().title, "QL");
  EXPECT_EQ(desktop.sound().takePlayed(), (Lines{"Pop", "Pop"}));

  desktop.audioRecorders().setAnswer(SimAudioRecorders::Answer::Deny);
  ASSERT_EQ(choose("Record audio (⌃⌘R)"), MenuChoice::Chosen);
  EXPECT_EQ(desktop.log().lines().back(), "Quillon audio: microphone access denied");
  EXPECT_EQ(look().title, "QL");
}

} // namespace
} // namespace quillon
