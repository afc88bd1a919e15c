#include "windows/WindowSnapper.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using Position = WindowSnapper::Position;

constexpr Rect visibleFrame{{0, 0}, {1440, 875}};

TEST(WindowZoneTest, TheZonesTileTheVisibleFrameWithoutGaps) {
  const std::vector<std::pair<Position, Rect>> expected{
      {Position::leftHalf, {{0, 0}, {720, 875}}},
      {Position::rightHalf, {{720, 0}, {720, 875}}},
      {Position::topHalf, {{0, 437.5}, {1440, 437.5}}},
      {Position::bottomHalf, {{0, 0}, {1440, 437.5}}},
      {Position::topLeft, {{0, 437.5}, {720, 437.5}}},
      {Position::topRight, {{720, 437.5}, {720, 437.5}}},
      {Position::bottomLeft, {{0, 0}, {720, 437.5}}},
      {Position::bottomRight, {{720, 0}, {720, 437.5}}},
      {Position::maximize, visibleFrame},
      {Position::center, visibleFrame},
  };
  for (const auto& [position, zone] : expected) {
    EXPECT_EQ(WindowSnapper::rect(position, visibleFrame, 0), zone)
        << WindowSnapper::name(position);
  }
}

TEST(WindowZoneTest, OddWidthsAndOffsetScreensKeepTheirFractionsAndOrigin) {
  const Rect odd{{0, 0}, {1441, 875}};
  EXPECT_EQ(WindowSnapper::rect(Position::leftHalf, odd, 0), (Rect{{0, 0}, {720.5, 875}}));
  EXPECT_EQ(WindowSnapper::rect(Position::rightHalf, odd, 0), (Rect{{720.5, 0}, {720.5, 875}}));
  const Rect second{{-1920, 300}, {1920, 1055}};
  EXPECT_EQ(WindowSnapper::rect(Position::topRight, second, 0),
            (Rect{{-960, 827.5}, {960, 527.5}}));
}

TEST(WindowZoneTest, AGapSeparatesNeighboursByOneGap) {
  const double gap = 10;
  const Rect left = WindowSnapper::rect(Position::leftHalf, visibleFrame, gap);
  const Rect right = WindowSnapper::rect(Position::rightHalf, visibleFrame, gap);
  EXPECT_EQ(left, (Rect{{10, 10}, {705, 855}}));
  EXPECT_EQ(right, (Rect{{725, 10}, {705, 855}}));
  EXPECT_EQ(WindowSnapper::rect(Position::maximize, visibleFrame, gap),
            (Rect{{10, 10}, {1420, 855}}));
}

class WindowSnapperTest : public ::testing::Test {
protected:
  std::uint32_t openWindow(const Rect& frame) {
    return desktop.applications().openWindow(editor, frame);
  }
  Rect frameOf(std::uint32_t number) {
    return desktop.applications().frame(*desktop.applications().window(number));
  }
  SimApplicationWindows& application() { return desktop.applications().application(editor); }

  SimDesktop desktop;
  WindowSnapper snapper{desktop.accessibility(), desktop.workspace(), desktop.screens(),
                        desktop.log()};
  int editor = desktop.bringToFront("com.example.editor");
};

TEST_F(WindowSnapperTest, ConversionsBetweenScreenAndAccessibilityCoordinatesAreInverse) {
  // A primary display 900 points high.
  EXPECT_EQ(snapper.axToAppKit({100, 50}, {800, 600}), (Rect{{100, 250}, {800, 600}}));
  EXPECT_EQ(snapper.appKitToAX({{100, 250}, {800, 600}}), (Point{100, 50}));

  openWindow({{100, 250}, {800, 600}});
  const auto target = snapper.focusedWindowAndScreen();
  ASSERT_TRUE(target);
  EXPECT_EQ(snapper.windowFrame(target->window), (Rect{{100, 250}, {800, 600}}));
  snapper.setWindowFrame(target->window, {{100, 250}, {800, 600}});
  EXPECT_EQ(desktop.applications().focusedWindow(editor)->position, (Point{100, 50}));

  desktop.screens().setScreens({});
  EXPECT_EQ(snapper.axToAppKit({100, 50}, {800, 600}), (Rect{{100, -650}, {800, 600}}));
}

TEST_F(WindowSnapperTest, SnappingWritesSizePositionSizeAfterTheTwoFlags) {
  const std::uint32_t window = openWindow({{100, 100}, {500, 400}});
  snapper.snapFocusedWindow(Position::leftHalf);
  EXPECT_EQ(frameOf(window), (Rect{{0, 0}, {720, 875}}));
  EXPECT_EQ(application().writes,
            (std::vector<std::string>{"AXManualAccessibility", "AXEnhancedUserInterface", "AXSize",
                                      "AXPosition", "AXSize"}));
  EXPECT_EQ(desktop.accessibility().messagingTimeout(editor), Duration(1.0));
  EXPECT_TRUE(desktop.log().lines().empty());
}

TEST_F(WindowSnapperTest, ADisplayAboveThePrimaryHasNegativeAccessibilityY) {
  desktop.screens().setScreens({
      {{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}},
      {{{0, 900}, {1920, 1080}}, {{0, 900}, {1920, 1055}}},
  });
  const std::uint32_t window = openWindow({{100, 1000}, {800, 600}});
  EXPECT_EQ(desktop.applications().window(window)->position, (Point{100, -700}));

  snapper.snapFocusedWindow(Position::rightHalf);
  EXPECT_EQ(frameOf(window), (Rect{{960, 900}, {960, 1055}}));
  EXPECT_EQ(desktop.applications().window(window)->position, (Point{960, -1055}));
}

TEST_F(WindowSnapperTest, AWindowAcrossTwoDisplaysSnapsOnTheFirstListedThatItTouches) {
  desktop.screens().setScreens({
      {{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}},
      {{{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 1055}}},
  });
  // Mostly on the second display, but touching the primary one.
  const std::uint32_t across = openWindow({{1400, 100}, {800, 600}});
  snapper.snapFocusedWindow(Position::leftHalf);
  EXPECT_EQ(frameOf(across), (Rect{{0, 0}, {720, 875}}));
  const std::uint32_t second = openWindow({{1500, 100}, {800, 600}});
  snapper.snapFocusedWindow(Position::leftHalf);
  EXPECT_EQ(frameOf(second), (Rect{{1440, 0}, {960, 1055}}));
}

TEST_F(WindowSnapperTest, CentringKeepsTheSizeAndLetsALargeWindowOverhangEvenly) {
  const std::uint32_t small = openWindow({{0, 0}, {400, 300}});
  snapper.snapFocusedWindow(Position::center);
  EXPECT_EQ(frameOf(small), (Rect{{520, 287.5}, {400, 300}}));

  const std::uint32_t large = openWindow({{0, 0}, {2000, 1200}});
  snapper.snapFocusedWindow(Position::center);
  EXPECT_EQ(frameOf(large), (Rect{{-280, -162.5}, {2000, 1200}}));
}

TEST_F(WindowSnapperTest, FallsBackToTheFirstListedWindowWhenNoneIsFocused) {
  const std::uint32_t back = openWindow({{300, 300}, {500, 400}});
  const std::uint32_t front = openWindow({{200, 200}, {500, 400}});
  application().refusedAttributes.insert("AXFocusedWindow");
  snapper.snapFocusedWindow(Position::bottomRight);
  EXPECT_EQ(frameOf(front), (Rect{{720, 0}, {720, 437.5}}));
  EXPECT_EQ(frameOf(back), (Rect{{300, 300}, {500, 400}}));
}

TEST_F(WindowSnapperTest, NoWindowOrNoPermissionLogsAndMovesNothing) {
  snapper.snapFocusedWindow(Position::maximize);
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      (std::vector<std::string>{"Quillon snap: app exposes neither AXFocusedWindow nor AXWindows",
                                "Quillon snap: no focused window / screen"}));

  const std::uint32_t window = openWindow({{10, 10}, {300, 300}});
  desktop.accessibility().setTrusted(false);
  snapper.snapFocusedWindow(Position::maximize);
  EXPECT_EQ(frameOf(window), (Rect{{10, 10}, {300, 300}}));
  EXPECT_EQ(desktop.log().takeNewLines().size(), 2u);
}

TEST_F(WindowSnapperTest, WithoutDisplaysOrFrontmostApplicationNothingMoves) {
  const std::uint32_t window = openWindow({{10, 10}, {300, 300}});
  desktop.screens().setScreens({});
  snapper.snapFocusedWindow(Position::maximize);
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon snap: no focused window / screen"});
  EXPECT_EQ(desktop.applications().window(window)->size, (Size{300, 300}));

  desktop.workspace().quit(editor);
  EXPECT_FALSE(snapper.focusedWindowAndScreen());
}

TEST_F(WindowSnapperTest, AnUnreadableFrameStillSnapsOnTheMainScreenButNeverCentres) {
  const std::uint32_t window = openWindow({{10, 10}, {300, 300}});
  application().refusedAttributes.insert("AXSize");
  snapper.snapFocusedWindow(Position::center);
  EXPECT_EQ(desktop.applications().window(window)->position, (Point{10, 590}));

  application().refusedAttributes = {"AXPosition"};
  snapper.snapFocusedWindow(Position::topHalf);
  EXPECT_EQ(desktop.applications().window(window)->size, (Size{1440, 437.5}));
}

} // namespace
} // namespace quillon
