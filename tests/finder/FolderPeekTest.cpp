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

TEST_F(FolderPeekTest, TheHitTestLooksFiveParentsUpAndAFramelessIconAnchorsAtThePointer) {
  icon(makeFolder("Deep"), {{300, 300}, {64, 64}});
  desktop.accessibility().setFileElementDepth(5);
  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->content.title, "Deep");
  moveTo({700, 100}, false);

  // One level further is beyond the six elements examined.
  desktop.accessibility().setFileElementDepth(6);
  desktop.advance(Duration(0.1));
  moveTo({331, 331}, true);
  EXPECT_FALSE(panelVisible());

  // Without a size the icon has no frame: the panel sits above the pointer.
  desktop.accessibility().setFileElementDepth(0);
  desktop.applications().application(finder).refusedAttributes.insert("AXSize");
  desktop.advance(Duration(0.1));
  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->frame(), (Rect{{330 - 96, 330 + 16}, {192, 136}}));
}

TEST_F(FolderPeekTest, ThePanelStaysInsideTheVisibleFrameOfTheScreenUnderThePointer) {
  desktop.screens().setScreens({{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}},
                                {{{1440, 0}, {1920, 1080}}, {{1440, 40}, {1920, 1000}}}});
  icon(makeFolder("Right"), {{3300, 500}, {64, 64}});
  icon(makeFolder("Corner"), {{0, 0}, {64, 64}});
  icon(makeFolder("Low"), {{2000, 0}, {64, 20}});
  icon(makeFolder("Top"), {{2000, 1060}, {64, 20}});
  // Near the second display's right edge: 8 points inside it, not pulled
  // back onto the primary display.
  moveTo({3330, 530}, true);
  ASSERT_TRUE(panelVisible());
  EXPECT_EQ(panel()->frame(), (Rect{{1440 + 1920 - 192 - 8, 564 + 16}, {192, 136}}));
  // At the primary display's corner the left edge holds it.
  desktop.advance(Duration(0.1));
  moveTo({10, 10}, true);
  EXPECT_EQ(panel()->frame(), (Rect{{8, 80}, {192, 136}}));
  // Under the second display's dock and above its visible top, the
  // margins of its visible frame hold it.
  desktop.advance(Duration(0.1));
  moveTo({2010, 10}, true);
  EXPECT_EQ(panel()->content.title, "Low");
  EXPECT_EQ(panel()->frame().origin.y, 40 + 8);
  desktop.advance(Duration(0.1));
  moveTo({2010, 1070}, true);
  EXPECT_EQ(panel()->content.title, "Top");
  EXPECT_EQ(panel()->frame().origin.y, 40 + 1000 - 136 - 8);
}

TEST_F(FolderPeekTest, HoverAndStickyPanelsCloseOnlyWhenThePointerLeavesTheirZone) {
  icon(makeFolder("Held"), {{300, 300}, {64, 64}});
  moveTo({330, 330}, true);
  ASSERT_TRUE(panelVisible());
  // Letting go of Command without moving keeps it up.
  desktop.keyboard().keyUp(keycode::Command);
  EXPECT_TRUE(panelVisible());
  moveTo({700, 100}, false);
  EXPECT_FALSE(panelVisible());

  // A sticky panel the pointer has visited closes once it leaves again.
  desktop.advance(Duration(0.1));
  desktop.mouse().click({330, 330});
  desktop.advance(Duration(0.075));
  ASSERT_TRUE(peek.isSticky());
  moveTo({300, 420}, false);
  EXPECT_TRUE(panelVisible());
  moveTo({900, 100}, false);
  EXPECT_FALSE(panelVisible());
}

TEST_F(FolderPeekTest, AClickThatDragsMoreThanFivePointsOpensNoPanel) {
  icon(makeFolder("Dragged"), {{300, 300}, {64, 64}});
  const auto press = [&](Point down, Point up) {
    for (const auto& [type, location] :
         {std::pair{EventType::LeftMouseDown, down}, std::pair{EventType::LeftMouseUp, up}}) {
      desktop.eventTaps().setPointerLocation(location);
      Event event(type, 0);
      event.setLocation(location);
      event.setIntegerField(EventField::MouseEventClickState, 1);
      desktop.eventTaps().inject(std::move(event));
    }
    desktop.advance(Duration(0.2));
  };
  // Squared distance 26, then exactly 25.
  press({330, 330}, {335, 331});
  EXPECT_FALSE(panelVisible());
  press({330, 330}, {333, 334});
  EXPECT_TRUE(panelVisible());
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
