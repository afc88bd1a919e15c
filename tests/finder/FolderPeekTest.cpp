#include "finder/FolderPeek.h"

#include "finder/FileUrl.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

class FolderPeekTest : public ::testing::Test {
protected:
  FolderPeekTest() {
    finder = desktop.bringToFront("com.apple.finder");
    peek.start();
  }

  std::filesystem::path makeFolder(const std::string& name, int files = 2) {
    const std::filesystem::path folder = *desktop.directories().desktop() / name;
    std::filesystem::create_directories(folder);
    for (int index = 0; index < files; ++index) {
      std::ofstream(folder / ("file " + std::to_string(index) + ".txt")) << "x";
    }
    return folder;
  }

  void icon(const std::filesystem::path& path, Rect frame) {
    desktop.applications().addFileElement(finder, FileUrl::make(path), frame);
  }

  void moveTo(Point point, bool command) {
    if (command != desktop.keyboard().isDown(keycode::Command)) {
      command ? desktop.keyboard().keyDown(keycode::Command)
              : desktop.keyboard().keyUp(keycode::Command);
    }
    desktop.mouse().move(point);
  }

  const SimFloatingPanelRecord* panel() { return desktop.userInterface().floatingPanel(); }
  bool panelVisible() { return panel() != nullptr && panel()->visible; }

  SimDesktop desktop;
  int finder = 0;
  FolderPeek peek{FolderPeek::Dependencies{
      desktop.userInterface(), desktop.eventTaps(), desktop.accessibility(), desktop.workspace(),
      desktop.screens(), desktop.runLoop(), desktop.runLoop().backgroundQueue(), desktop.clock(),
      desktop.localization(), desktop.log()}};
};

TEST_F(FolderPeekTest, CommandHoverOpensThePanelAboveTheIconOrBelowItNearTheTop) {
  icon(makeFolder("Low"), {{300, 300}, {64, 64}});
  icon(makeFolder("High"), {{300, 790}, {64, 64}});

  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->content.title, "Low");
  // Two entries: 192 × 136, centred on the icon, 16 points above its top.
  EXPECT_EQ(panel()->frame(), (Rect{{332 - 96, 364 + 16}, {192, 136}}));

  // Without Command, leaving the icon's zone closes it.
  moveTo({700, 100}, false);
  EXPECT_FALSE(panelVisible());

  desktop.advance(Duration(0.1));
  moveTo({330, 820}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->content.title, "High");
  EXPECT_EQ(panel()->frame(), (Rect{{332 - 96, 790 - 16 - 136}, {192, 136}}));
}

TEST_F(FolderPeekTest, BundlesAndLargeElementsOpenNothing) {
  icon(makeFolder("Tool.app"), {{100, 100}, {64, 64}});
  icon(makeFolder("Wide"), {{300, 100}, {201, 64}});
  icon(makeFolder("Tall"), {{600, 100}, {64, 201}});
  icon(makeFolder("Square"), {{900, 100}, {200, 200}});
  for (const Point point : {Point{120, 120}, Point{350, 120}, Point{620, 200}}) {
    desktop.advance(Duration(0.1));
    moveTo(point, true);
    EXPECT_FALSE(panelVisible()) << point.x;
  }
  desktop.advance(Duration(0.1));
  moveTo({950, 150}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->content.title, "Square");
}

TEST_F(FolderPeekTest, MovingOntoThePanelKeepsItAndQueriesAreThrottled) {
  icon(makeFolder("Docs"), {{300, 300}, {64, 64}});
  icon(makeFolder("Other"), {{500, 300}, {64, 64}});
  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  // Across the 8-point margin of the icon, then into the panel's 24.
  moveTo({330, 370}, false);
  moveTo({300, 410}, false);
  EXPECT_TRUE(panelVisible());

  // A second query within 0.08 s waits for the rest of the interval, and
  // asks about where the pointer is by then.
  moveTo({700, 700}, true);
  moveTo({530, 330}, true);
  EXPECT_EQ(panel()->content.title, "Docs");
  desktop.advance(Duration(0.08));
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->content.title, "Other");
}

TEST_F(FolderPeekTest, AClickOpensAStickyPanelThatAClickOutsideCloses) {
  icon(makeFolder("Clicked"), {{300, 300}, {64, 64}});
  desktop.mouse().click({330, 330});
  EXPECT_FALSE(panelVisible());
  // 0.15 of the 0.5 s double-click interval.
  desktop.advance(Duration(0.075));
  ASSERT_TRUE(panelVisible());
  EXPECT_TRUE(peek.isSticky());

  // Moving away before ever reaching the panel keeps it.
  moveTo({900, 100}, false);
  EXPECT_TRUE(panelVisible());

  // A click outside closes it, and that click's release opens nothing.
  desktop.mouse().click({330, 330});
  EXPECT_FALSE(panelVisible());
  desktop.advance(Duration(0.2));
  EXPECT_FALSE(panelVisible());
}

TEST_F(FolderPeekTest, DragsModifiedClicksAndDoubleClicksOpenNoPanel) {
  icon(makeFolder("Quiet"), {{300, 300}, {64, 64}});
  desktop.keyboard().keyDown(keycode::Shift);
  desktop.mouse().click({330, 330});
  desktop.keyboard().keyUp(keycode::Shift);
  desktop.advance(Duration(0.2));
  EXPECT_FALSE(panelVisible());

  // The second click of a double click cancels the first one's peek.
  desktop.mouse().click({330, 330});
  desktop.mouse().click({330, 330}, 2);
  desktop.advance(Duration(0.2));
  EXPECT_FALSE(panelVisible());
}

TEST_F(FolderPeekTest, ChoosingAnEntryOpensItAndActivatingAnotherAppCloses) {
  const auto folder = makeFolder("Pick", 1);
  icon(folder, {{300, 300}, {64, 64}});
  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  ASSERT_TRUE(desktop.userInterface().clickPanelCell((folder / "file 0.txt").string()));
  EXPECT_EQ(desktop.workspace().openedUrls().back(), FileUrl::make(folder / "file 0.txt"));
  EXPECT_FALSE(panelVisible());

  desktop.advance(Duration(0.1));
  moveTo({331, 331}, true);
  ASSERT_TRUE(panelVisible());
  desktop.bringToFront("com.apple.finder");
  desktop.runUntilIdle();
  EXPECT_TRUE(panelVisible());
  desktop.bringToFront("com.example.editor");
  desktop.runUntilIdle();
  EXPECT_FALSE(panelVisible());

  peek.stop();
  desktop.advance(Duration(0.1));
  moveTo({330, 330}, true);
  EXPECT_FALSE(panelVisible());
}

TEST(FileUrlTest, PathsRoundTripAndForeignAddressesAreRefused) {
  const std::filesystem::path path = "/Users/я/My Folder/50%";
  EXPECT_EQ(FileUrl::path(FileUrl::make(path)), path);
  EXPECT_EQ(FileUrl::path("file:///tmp/folder/"), std::filesystem::path("/tmp/folder"));
  EXPECT_EQ(FileUrl::path("file://localhost/tmp"), std::filesystem::path("/tmp"));
  EXPECT_FALSE(FileUrl::path("https://example.com/"));
  EXPECT_FALSE(FileUrl::path("file://server/share"));
  EXPECT_FALSE(FileUrl::path("file:///bad%2"));
  EXPECT_FALSE(FileUrl::path("file:///nul%00byte"));
}

} // namespace
} // namespace quillon
