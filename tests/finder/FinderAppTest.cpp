#include "app/AppDelegate.h"
#include "finder/FileUrl.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon {
namespace {

// The Finder services as the application shell runs them.
class FinderAppTest : public ::testing::Test {
protected:
  bool logged(const std::string& line) {
    const auto lines = desktop.log().lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

TEST_F(FinderAppTest, OpeningADesktopFolderInTheFinderRefreshesItsIcon) {
  const auto desktopFolder = *desktop.directories().desktop();
  std::filesystem::create_directories(desktopFolder / "Inbox");
  std::filesystem::create_directories(*desktop.directories().documents() / "Elsewhere");
  desktop.application().run(app);
  desktop.runUntilIdle();
  ASSERT_TRUE(app.desktopFolderIcons().isRunning());
  ASSERT_TRUE(app.folderPeek().isRunning());

  // The Finder starts after the application: the watcher attaches then.
  const int finder = desktop.bringToFront("com.apple.finder");
  EXPECT_TRUE(
      logged("Quillon FinderWindowWatcher: attached to Finder pid=" + std::to_string(finder)));
  desktop.log().takeNewLines();
  for (const auto& folder :
       {desktopFolder / "Inbox", *desktop.directories().documents() / "Elsewhere"}) {
    const auto number = desktop.applications().openWindow(finder, {{100, 100}, {600, 400}});
    desktop.applications().window(number)->document = FileUrl::make(folder) + "/";
  }
  desktop.advance(Duration(0.15));
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      (std::vector<std::string>{"Quillon FinderWindowWatcher: window opened for " +
                                    (desktopFolder / "Inbox").string(),
                                "Quillon FinderWindowWatcher: window opened for " +
                                    (*desktop.directories().documents() / "Elsewhere").string(),
                                "Quillon DesktopFolderIcons: ✓ Inbox (0 items)"}));
}

TEST_F(FinderAppTest, TheLaunchFollowsTheSettingsAndAFinderRelaunchReattaches) {
  desktop.defaults().set("com.quillon.Quillon", "autoEnableOnLaunch", false);
  desktop.defaults().set("com.quillon.Quillon", "folderPeekEnabled", false);
  desktop.defaults().set("com.quillon.Quillon", "desktopFolderIconsEnabled", false);
  const int finder = desktop.bringToFront("com.apple.finder");
  desktop.application().run(app);
  EXPECT_FALSE(app.folderPeek().isRunning());
  EXPECT_FALSE(app.desktopFolderIcons().isRunning());
  EXPECT_EQ(app.finderWindowWatcher().attachedProcess(), finder);

  desktop.workspace().quit(finder);
  RunningApplication relaunched;
  relaunched.processIdentifier = 777;
  relaunched.bundleIdentifier = "com.apple.finder";
  desktop.workspace().launch(relaunched);
  EXPECT_EQ(app.finderWindowWatcher().attachedProcess(), 777);
  EXPECT_TRUE(logged("Quillon FinderWindowWatcher: attached to Finder pid=777"));
}

} // namespace
} // namespace quillon
