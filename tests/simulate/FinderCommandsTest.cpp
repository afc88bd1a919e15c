#include "platform/shared/TemporaryDirectory.h"
#include "support/ScriptTest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace quillon {
namespace {

// Folder peek and the Desktop icons driven end to end, as a script drives
// them.
class FinderCommandsTest : public ScriptTest {
protected:
  FinderCommandsTest() {
    run("home " + home.path().string() + "\n");
    std::filesystem::create_directories(home.path() / "Desktop" / "My Photos" / "2024");
    std::ofstream(home.path() / "Desktop" / "My Photos" / "beach.jpg") << "x";
    std::ofstream(home.path() / "Desktop" / "My Photos" / ".hidden") << "x";
  }

  TemporaryDirectory home{"quillon-script-home"};
};

TEST_F(FinderCommandsTest, CommandHoverShowsThePanelAndClickingAwayHidesIt) {
  EXPECT_EQ(runJson("panel"), (nlohmann::json{{"visible", false},
                                              {"folder", nullptr},
                                              {"frame", nullptr},
                                              {"entries", nlohmann::json::array()}}));
  run("finder-item Desktop/My Photos 300 300 64 64\npointer 330 330 cmd\n");
  EXPECT_EQ(runJson("panel"), (nlohmann::json{{"visible", true},
                                              {"folder", "My Photos"},
                                              {"frame", {236, 380, 192, 136}},
                                              {"entries", {"2024", "beach.jpg"}}}));
  run("pointer 900 100\n");
  EXPECT_EQ(runJson("panel")["visible"], false);
  const auto log = runJson("log");
  EXPECT_NE(
      std::find(log.begin(), log.end(), "Quillon FinderWindowWatcher: attached to Finder pid=600"),
      log.end());

  EXPECT_EQ(run("pointer 1 2 shift\nfinder-item Desktop 1 2 3\nhome\n"),
            (std::vector<std::string>{
                "error: pointer: expected X Y [cmd]",
                "error: finder-item: expected PATH X Y W H with a positive width and height",
                "error: home: expected a folder path"}));
}

TEST_F(FinderCommandsTest, DesktopFoldersGetIconsUntilTheToggleTurnsThemOff) {
  // The first pass runs once the launch is over.
  run("wait 0\n");
  const auto icon = runJson("icon Desktop/My Photos");
  EXPECT_EQ(icon["custom"], true);
  EXPECT_EQ(icon["flag"], true);
  ASSERT_TRUE(icon["image"].is_string());
  EXPECT_TRUE(std::filesystem::exists(icon["image"].get<std::string>()));
  run("choose Desktop folders → iOS-style icon (2×2 grid of contents)\n");
  EXPECT_EQ(runJson("icon Desktop/My Photos"),
            (nlohmann::json{{"custom", false}, {"image", nullptr}, {"flag", false}}));
  EXPECT_EQ(runJson("get desktopFolderIconsEnabled"), false);
}

TEST_F(FinderCommandsTest, TouchStaysInsideTheHomeFolderWhereverLinksLead) {
  TemporaryDirectory elsewhere("quillon-elsewhere");
  const std::filesystem::path desktopFolder = home.path() / "Desktop";
  std::filesystem::create_directory_symlink(elsewhere.path(), desktopFolder / "Linked");
  std::filesystem::create_symlink(elsewhere.path() / "made.txt", desktopFolder / "Dangling");
  std::filesystem::create_directory_symlink("My Photos", desktopFolder / "Photos");
  EXPECT_EQ(run("touch Desktop/Linked/x\ntouch Desktop/Linked/sub/\ntouch Desktop/Dangling\n"
                "touch Desktop/Photos/new.txt\n"),
            (std::vector<std::string>{
                R"(error: touch: "Desktop/Linked/x" leads outside the home folder)",
                R"(error: touch: "Desktop/Linked/sub/" leads outside the home folder)",
                R"(error: touch: "Desktop/Dangling" leads outside the home folder)"}));
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
  // A link that stays at home is followed.
  EXPECT_TRUE(std::filesystem::exists(desktopFolder / "My Photos" / "new.txt"));
}

} // namespace
} // namespace quillon
