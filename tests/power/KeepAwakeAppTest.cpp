// Keep-awake in the running application: the launch reconciles it with the
// system, the lid monitor sleeps the display, and the menu and ⌃⌘S switch it
// through the administrator prompt of the simulated machine.
#include "app/AppDelegate.h"
#include "app/MenuSearch.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class KeepAwakeAppTest : public ::testing::Test {
protected:
  void launch() {
    desktop.application().run(app);
    desktop.runUntilIdle();
  }
  void setLid(bool closed) {
    desktop.power().setLidClosed(closed);
    desktop.runUntilIdle();
  }
  const MenuItem& shown(MenuCommand command) {
    return *findMenuItem(desktop.userInterface().statusItem()->menu, command);
  }
  MenuChoice chooseKeepAwake() {
    desktop.userInterface().clickStatusItem(MouseButton::Right);
    desktop.runUntilIdle();
    return desktop.userInterface().chooseMenuItem({"Keep awake on lid close (⌃⌘S)"});
  }
  bool logged(std::string_view line) { return desktop.log().contains(line); }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

TEST_F(KeepAwakeAppTest, TheSystemSwitchWinsOverTheStoredSettingAtLaunch) {
  desktop.power().setSleepDisabled(true);
  launch();
  EXPECT_TRUE(app.settings().sleepBlockerEnabled());
  EXPECT_TRUE(app.sleepBlocker().isAssertionActive());
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).checked);
  EXPECT_TRUE(logged("Quillon SleepBlocker: parsed pmset sleep-disabled = 1"));
}

TEST_F(KeepAwakeAppTest, KeepAwakeSwitchedOffOutsideIsCorrectedBeforeTheMenuIsBuilt) {
  app.settings().set(true, Settings::Key::sleepBlockerEnabled);
  launch();
  EXPECT_FALSE(app.settings().sleepBlockerEnabled());
  EXPECT_FALSE(app.sleepBlocker().isAssertionActive());
  EXPECT_TRUE(desktop.power().assertions().empty());
  EXPECT_FALSE(shown(MenuCommand::toggleSleepBlocker).checked);
}

TEST_F(KeepAwakeAppTest, EachLidCloseSleepsTheDisplayOnceWhileKeepAwakeIsOn) {
  launch();
  setLid(true);
  EXPECT_EQ(desktop.power().displaySleepCount(), 0);
  setLid(false);

  desktop.power().setSleepDisabled(true);
  app.settings().set(true, Settings::Key::sleepBlockerEnabled);
  desktop.log().takeNewLines();
  setLid(true);
  desktop.power().sendInterestMessage();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.power().displaySleepCount(), 1);
  setLid(false);
  desktop.power().setPowerSource(std::string(SimPower::BatteryPower));
  setLid(true);
  EXPECT_EQ(desktop.power().displaySleepCount(), 2);
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      (Lines{"Quillon lid: closed", "Quillon: lid closed + sleep blocker on → sleeping display",
             "Quillon lid: open", "Quillon lid: closed",
             "Quillon: lid closed on BATTERY — macOS will force sleep regardless of "
             "keep-awake"}));
  // An unknown power source is not the battery.
  setLid(false);
  desktop.power().setPowerSource(std::nullopt);
  setLid(true);
  EXPECT_TRUE(logged("Quillon: lid closed + sleep blocker on → sleeping display"));
  EXPECT_EQ(desktop.power().displaySleepCount(), 3);
}

TEST_F(KeepAwakeAppTest, TheMenuWaitsForThePromptAndWarnsOnBattery) {
  desktop.power().setPowerSource(std::string(SimPower::BatteryPower));
  launch();
  ASSERT_EQ(chooseKeepAwake(), MenuChoice::Chosen);
  // The request is still in the background: nothing has changed yet.
  EXPECT_FALSE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_FALSE(app.settings().sleepBlockerEnabled());
  desktop.runUntilIdle();
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).checked);
  EXPECT_TRUE(desktop.power().sleepDisabled());
  EXPECT_EQ(desktop.userInterface().takeHudMessages(),
            Lines{"Plug in — macOS forces lid sleep on battery"});

  desktop.systemTools().setPasswordAnswer(SimSystemTools::PasswordAnswer::Cancel);
  ASSERT_EQ(chooseKeepAwake(), MenuChoice::Chosen);
  desktop.runUntilIdle();
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).enabled);
  EXPECT_TRUE(shown(MenuCommand::toggleSleepBlocker).checked);
  EXPECT_TRUE(app.sleepBlocker().isAssertionActive());
  EXPECT_TRUE(desktop.userInterface().takeHudMessages().empty());
}

TEST_F(KeepAwakeAppTest, ControlCommandSTogglesWithoutTheMenu) {
  launch();
  auto& keyboard = desktop.keyboard();
  keyboard.keyDown(keycode::Control);
  keyboard.keyDown(keycode::Command);
  keyboard.tap(keycode::S);
  keyboard.keyUp(keycode::Command);
  keyboard.keyUp(keycode::Control);
  desktop.runUntilIdle();
  EXPECT_TRUE(app.settings().sleepBlockerEnabled());
  EXPECT_TRUE(desktop.power().sleepDisabled());
  EXPECT_EQ(desktop.systemTools().passwordPromptCount(), 1);
  EXPECT_TRUE(desktop.userInterface().takeHudMessages().empty());
}

} // namespace
} // namespace quillon
