// A desktop that only stands in for some services: the features on them
// take no keys, run nothing at launch, write nothing and say why in the menu.

#include "app/AppDelegate.h"
#include "app/MenuSearch.h"
#include "platform/KeyCodes.h"
#include "platform/sim/SimDesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>

namespace quillon {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view windowReason = "no window access here";
constexpr std::string_view captureReason = "no screen capture here";
constexpr std::string_view dictationReason = "no dictation here";
constexpr std::string_view settingsReason = "no system settings here";

class LiveFeaturesTest : public ::testing::Test {
protected:
  void markStandInDesktop() {
    SimLiveServices& live = desktop.liveServices();
    live.markNotLive(Capability::windowAccess, std::string(windowReason));
    live.markNotLive(Capability::screenCapture, std::string(captureReason));
    live.markNotLive(Capability::dictation, std::string(dictationReason));
    live.markNotLive(Capability::systemSettings, std::string(settingsReason));
  }

  void launch() {
    app = std::make_unique<AppDelegate>(desktop.platform());
    desktop.application().run(*app);
    desktop.runUntilIdle();
  }

  // Whether the key itself (not just its modifiers) reached the text field.
  bool chordReachesApplication(std::initializer_list<KeyCode> modifiers, KeyCode key) {
    desktop.textField().takeDeliveredEvents();
    for (const KeyCode modifier : modifiers) {
      desktop.keyboard().keyDown(modifier);
    }
    desktop.keyboard().tap(key);
    for (const KeyCode modifier : modifiers) {
      desktop.keyboard().keyUp(modifier);
    }
    desktop.advance(Duration(0.5));
    const auto delivered = desktop.textField().takeDeliveredEvents();
    return std::any_of(delivered.begin(), delivered.end(), [key](const DeliveredEvent& event) {
      return event.type == EventType::KeyDown && event.keyCode == key;
    });
  }

  std::vector<std::string> foreignDomainFiles() {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(desktop.defaultsRoot())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("com.apple.")) {
        found.push_back(name);
      }
    }
    return found;
  }

  const MenuItem& menuItem(MenuCommand command) {
    return *findMenuItem(desktop.userInterface().statusItem()->menu, command);
  }

  SimDesktop desktop;
  std::unique_ptr<AppDelegate> app;
};

// The same launch on a desktop that has everything does touch the system:
// what the stand-in desktop is spared is real.
TEST_F(LiveFeaturesTest, ADesktopWithEveryServiceRunsTheSystemStepsAndTakesTheChords) {
  launch();
  EXPECT_THAT(desktop.journal().entries(), Contains("spawn /usr/bin/killall"));
  EXPECT_FALSE(foreignDomainFiles().empty());
  EXPECT_FALSE(chordReachesApplication({keycode::Control, keycode::Command}, keycode::LeftArrow));
  EXPECT_FALSE(chordReachesApplication({keycode::Control, keycode::Command}, keycode::H));
  EXPECT_TRUE(menuItem(MenuCommand::menuSnapLeft).enabled);
}

TEST_F(LiveFeaturesTest, ServicesNotLiveRunNoLaunchStepAndWriteNoOtherSystemsDomain) {
  markStandInDesktop();
  launch();
  const auto& journal = desktop.journal().entries();
  EXPECT_THAT(journal, Not(Contains("spawn /usr/bin/killall")));
  EXPECT_THAT(journal, Not(Contains("spawn " + std::string(SimDictationShortcut::settingsTool))));
  EXPECT_THAT(foreignDomainFiles(), ::testing::IsEmpty());
  // Keep-awake is live here and still reconciles with the system.
  EXPECT_THAT(journal, Contains("spawn /usr/bin/pmset"));
  EXPECT_THAT(desktop.log().lines(),
              Contains("Quillon: window access stays off: " + std::string(windowReason)));
  EXPECT_THAT(desktop.log().lines(), Not(Contains(HasSubstr("keep-awake stays off"))));
  ASSERT_NE(app->eventTap(), nullptr);
}

TEST_F(LiveFeaturesTest, ChordsOfFeaturesNotLiveReachTheApplicationWhileLiveOnesStayHotkeys) {
  markStandInDesktop();
  launch();
  const std::initializer_list<KeyCode> controlCommand{keycode::Control, keycode::Command};
  for (const KeyCode key :
       {keycode::LeftArrow, keycode::RightArrow, keycode::UpArrow, keycode::DownArrow,
        keycode::Digit1, keycode::Digit4, keycode::T, keycode::H, keycode::V}) {
    EXPECT_TRUE(chordReachesApplication(controlCommand, key)) << "key " << key;
  }
  EXPECT_TRUE(chordReachesApplication({keycode::Option, keycode::Shift}, keycode::S));
  EXPECT_TRUE(chordReachesApplication({keycode::Option, keycode::Shift}, keycode::H));
  EXPECT_THAT(desktop.log().lines(), Not(Contains(HasSubstr("opening macOS overlay"))));

  // Keep-awake and the clipboard history are live: still the product's.
  EXPECT_FALSE(chordReachesApplication(controlCommand, keycode::S));
  EXPECT_FALSE(chordReachesApplication({keycode::Option, keycode::Shift}, keycode::V));
}

TEST_F(LiveFeaturesTest, FnControlStartsNoDictationWhereThereIsNone) {
  markStandInDesktop();
  launch();
  desktop.keyboard().keyDown(keycode::Function);
  desktop.keyboard().keyDown(keycode::Control);
  desktop.keyboard().keyUp(keycode::Control);
  desktop.keyboard().keyUp(keycode::Function);
  desktop.runUntilIdle();
  EXPECT_THAT(desktop.log().lines(), Not(Contains(HasSubstr("Fn+Ctrl"))));
  EXPECT_TRUE(desktop.sound().played().empty());
}

TEST_F(LiveFeaturesTest, MenuItemsOfFeaturesNotLiveAreGreyedWithTheReasonAndCannotAct) {
  markStandInDesktop();
  desktop.liveServices().markNotLive(Capability::folderPeek, "no file manager access");
  desktop.liveServices().markNotLive(Capability::audioRecording, "no microphone service");
  launch();
  for (const MenuCommand command :
       {MenuCommand::menuSnapLeft, MenuCommand::menuPinAboveAll,
        MenuCommand::toggleRestorePositions, MenuCommand::captureScreenshot,
        MenuCommand::recordRegionVideo}) {
    const MenuItem& item = menuItem(command);
    EXPECT_FALSE(item.enabled) << item.title;
  }
  EXPECT_EQ(menuItem(MenuCommand::menuSnapLeft).title,
            "Left half — unavailable: " + std::string(windowReason));
  EXPECT_EQ(menuItem(MenuCommand::captureScreenshot).title,
            "Capture screen area to clipboard (⌥⇧S) — unavailable: " + std::string(captureReason));

  // A toggle whose feature cannot run shows it off, whatever is stored, and
  // choosing it changes nothing.
  ASSERT_TRUE(app->settings().folderPeekEnabled());
  const MenuItem& peek = menuItem(MenuCommand::toggleFolderPeek);
  EXPECT_FALSE(peek.enabled);
  EXPECT_FALSE(peek.checked);
  app->statusItem().perform(MenuCommand::toggleFolderPeek);
  app->statusItem().refreshMenuState();
  EXPECT_TRUE(app->settings().folderPeekEnabled());
  EXPECT_FALSE(menuItem(MenuCommand::toggleFolderPeek).checked);

  // The recording title follows the recorder only where it can record.
  app->statusItem().recordingStateChanged();
  desktop.runUntilIdle();
  EXPECT_EQ(menuItem(MenuCommand::toggleAudioRecording).title,
            "Record audio (⌃⌘R) — unavailable: no microphone service");

  // The items every desktop serves are untouched.
  EXPECT_TRUE(menuItem(MenuCommand::toggleLanguageSwitch).enabled);
  EXPECT_EQ(menuItem(MenuCommand::menuShowClipboardHistory).title, "Clipboard history…");
}

TEST_F(LiveFeaturesTest, ADoubleClickOnTheItemTakesNoScreenshotWithoutScreenCapture) {
  markStandInDesktop();
  launch();
  const std::size_t before = desktop.journal().entries().size();
  app->statusItem().handleStatusClick({MouseButton::Left, 2});
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.journal().entries().size(), before);
}

} // namespace
} // namespace quillon
