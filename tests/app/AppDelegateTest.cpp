#include "app/AppDelegate.h"

#include "app/MenuSearch.h"
#include "platform/sim/SimDesktop.h"
#include "support/LaunchLog.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";

class AppDelegateTest : public ::testing::Test {
protected:
  explicit AppDelegateTest(bool trusted = true)
      : desktop(SimDesktop::Options{.accessibilityTrusted = trusted}) {}

  void launch() {
    // Settings changes show up in the journal, so their order against the
    // platform calls of the launch can be checked in one list.
    observation = app.notifications().observe(
        Settings::ChangedNotification, [this] { desktop.journal().record("settings changed"); });
    desktop.application().run(app);
  }

  std::size_t count(std::string_view entry) {
    const auto& entries = desktop.journal().entries();
    return static_cast<std::size_t>(std::count(entries.begin(), entries.end(), entry));
  }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
  NotificationCenter::Observation observation;
};

TEST_F(AppDelegateTest, LaunchRunsItsStepsInOrder) {
  launch();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().lines(), expectedLaunchLog(desktop, true));
  std::vector<std::string> expected(6, "settings changed");
  expected.push_back("spawn /usr/bin/pmset");
  expected.push_back("spawn " + std::string(SimDictationShortcut::settingsTool));
  expected.push_back("create status item");
  expected.push_back("create event tap");
  expected.push_back("spawn /usr/bin/killall");
  EXPECT_EQ(desktop.journal().entries(), expected);
  ASSERT_NE(app.eventTap(), nullptr);
  EXPECT_TRUE(app.eventTap()->isRunning());

  // The observers come last: a change from now on reaches the menu, and each
  // recorder's notification reaches the item.
  app.settings().set(false, Settings::Key::copyKeysEnabled);
  const SimStatusItemRecord& item = *desktop.userInterface().statusItem();
  EXPECT_FALSE(findMenuItem(item.menu, MenuCommand::toggleCopyKeys)->checked);
  bool recording = false;
  app.actions().recordingStatus().screenVideoRunning = [&] { return recording; };
  for (const std::string_view notification : {RecordingStatus::ScreenVideoStateNotification,
                                              RecordingStatus::AudioRecorderStateNotification}) {
    recording = !recording;
    app.notifications().post(notification);
    desktop.runUntilIdle();
    EXPECT_EQ(item.appearance.title, recording ? "●" : "QL") << notification;
  }
}

TEST_F(AppDelegateTest, TheMenuIsBuiltAfterAutoEnableSoItShowsTheForcedValues) {
  desktop.defaults().set(domain, "folderPeekEnabled", false);
  desktop.defaults().set(domain, "autoEnableOnLaunch", true);
  launch();
  EXPECT_TRUE(
      findMenuItem(desktop.userInterface().statusItem()->menu, MenuCommand::toggleFolderPeek)
          ->checked);
}

TEST_F(AppDelegateTest, AutoEnableForcesOnlyItsSixSwitches) {
  Settings& settings = app.settings();
  for (const Settings::Key key : Settings::allKeys()) {
    if (key != Settings::Key::autoEnableOnLaunch) {
      desktop.defaults().set(domain, Settings::name(key), false);
    }
  }
  launch();
  EXPECT_TRUE(settings.languageSwitchEnabled());
  EXPECT_TRUE(settings.copyKeysEnabled());
  EXPECT_TRUE(settings.autoSwitchLayoutEnabled());
  EXPECT_TRUE(settings.folderPeekEnabled());
  EXPECT_TRUE(settings.desktopFolderIconsEnabled());
  EXPECT_TRUE(settings.autoSnapMouseDragEnabled());
  EXPECT_FALSE(settings.punctuationRemapsEnabled());
  EXPECT_FALSE(settings.invertMouseWheelEnabled());
  EXPECT_FALSE(settings.sleepBlockerEnabled());
  EXPECT_FALSE(settings.restoreWindowPositionsEnabled());
  EXPECT_FALSE(settings.oneCDoubleClickToF2Enabled());
}

TEST_F(AppDelegateTest, WithoutAutoEnableStoredChoicesStand) {
  desktop.defaults().set(domain, "autoEnableOnLaunch", false);
  desktop.defaults().set(domain, "folderPeekEnabled", false);
  launch();
  EXPECT_FALSE(app.settings().folderPeekEnabled());
  EXPECT_EQ(count("settings changed"), 0u);
}

class UntrustedLaunchTest : public AppDelegateTest {
protected:
  UntrustedLaunchTest() : AppDelegateTest(false) {}
};

TEST_F(UntrustedLaunchTest, PromptsOnceThenStartsTheTapSilentlyOnceTrusted) {
  launch();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines(), expectedLaunchLog(desktop, false));
  EXPECT_EQ(desktop.accessibility().promptCount(), 1);
  EXPECT_EQ(app.eventTap(), nullptr);
  EXPECT_TRUE(app.isWaitingForAccessibility());

  desktop.advance(Duration(1.4));
  desktop.accessibility().setTrusted(true);
  // Trust arrived before the first tick: that tick starts the tap.
  desktop.advance(Duration(0.09));
  EXPECT_EQ(app.eventTap(), nullptr);
  desktop.advance(Duration(0.01));
  ASSERT_NE(app.eventTap(), nullptr);
  EXPECT_TRUE(app.eventTap()->isRunning());
  EXPECT_FALSE(app.isWaitingForAccessibility());

  desktop.advance(Duration(10));
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
  EXPECT_EQ(desktop.accessibility().promptCount(), 1);
  EXPECT_EQ(desktop.eventTaps().installedTapCount(), 1u);
}

TEST_F(UntrustedLaunchTest, KeepsRetryingForAsLongAsItTakes) {
  launch();
  desktop.advance(Duration(1.5 * 100));
  EXPECT_EQ(app.eventTap(), nullptr);
  // Ticks only try again once trust is there.
  EXPECT_EQ(count("create event tap refused"), 1u);
  desktop.accessibility().setTrusted(true);
  desktop.advance(Duration(1.5));
  EXPECT_NE(app.eventTap(), nullptr);
}

TEST_F(UntrustedLaunchTest, RetryTimerDiesWithTheDelegate) {
  auto shortLived = std::make_unique<AppDelegate>(desktop.platform());
  shortLived->applicationDidFinishLaunching();
  shortLived.reset();
  desktop.accessibility().setTrusted(true);
  desktop.advance(Duration(3));
  EXPECT_EQ(desktop.eventTaps().installedTapCount(), 0u);
}

TEST_F(AppDelegateTest, SettingsLiveInTheBundlesOwnDomain) {
  launch();
  EXPECT_EQ(desktop.defaults().object(domain, "languageSwitchEnabled"), PropertyValue(true));
  EXPECT_TRUE(std::filesystem::exists(desktop.defaultsRoot() / "com.quillon.Quillon.plist"));
}

TEST_F(AppDelegateTest, RestartRelaunchesTheBundleThroughTheShellThenTerminates) {
  SimDesktop quoted(
      SimDesktop::Options{.executablePath = "/Users/me/It's Mine.app/Contents/MacOS/Quillon"});
  AppDelegate delegate(quoted.platform());
  delegate.restartApp();
  ASSERT_EQ(quoted.processes().spawns().size(), 1u);
  const auto& spawn = quoted.processes().spawns().front();
  EXPECT_EQ(spawn.executable, "/bin/sh");
  EXPECT_EQ(spawn.arguments, (std::vector<std::string>{
                                 "-c", "sleep 1; /usr/bin/open '/Users/me/It'\\''s Mine.app'"}));
  EXPECT_TRUE(quoted.application().isTerminated());
}

TEST_F(AppDelegateTest, RestartStillTerminatesWhenTheShellCannotStart) {
  desktop.processes().removeTool("/bin/sh");
  app.restartApp();
  EXPECT_EQ(desktop.log().lines(),
            std::vector<std::string>{
                "Quillon: restart failed to spawn relaunch: The file \"/bin/sh\" doesn't exist."});
  EXPECT_TRUE(desktop.application().isTerminated());
}

TEST_F(AppDelegateTest, QuitAndAccessibilitySettings) {
  app.openAccessibility();
  EXPECT_EQ(desktop.workspace().openedUrls(),
            std::vector<std::string>{
                "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"});
  EXPECT_FALSE(desktop.application().isTerminated());
  app.quit();
  EXPECT_TRUE(desktop.application().isTerminated());
}

} // namespace
} // namespace quillon
