// What a dock's reserved strip takes from each monitor: only the monitor
// it lies over, and only as far as it reaches into it.

#include "platform/linux/X11Screens.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// Two 1280×800 monitors side by side on a 2560×800 root window.
constexpr long rootWidth = 2560;
constexpr long rootHeight = 800;
constexpr X11PixelRect left{0, 0, 1280, 800};
constexpr X11PixelRect right{1280, 0, 1280, 800};

TEST(X11ScreensTest, AStripReservedOverOneMonitorLeavesTheOtherWhole) {
  X11Strut panel;
  panel.bottom = 40;
  panel.bottomStartX = 0;
  panel.bottomEndX = 1279;
  EXPECT_EQ(usableArea(left, rootWidth, rootHeight, {panel}), (X11PixelRect{0, 0, 1280, 760}));
  EXPECT_EQ(usableArea(right, rootWidth, rootHeight, {panel}), right);

  X11Strut sideBar;
  sideBar.right = 64;
  sideBar.rightStartY = 0;
  sideBar.rightEndY = 799;
  EXPECT_EQ(usableArea(right, rootWidth, rootHeight, {panel, sideBar}),
            (X11PixelRect{1280, 0, 1216, 800}));
  EXPECT_EQ(usableArea(left, rootWidth, rootHeight, {sideBar}), left);
}

TEST(X11ScreensTest, StripsAtEveryEdgeAddUpAndNonsenseKeepsTheMonitor) {
  X11Strut top;
  top.top = 28;
  top.topStartX = 0;
  top.topEndX = rootWidth - 1;
  X11Strut dock;
  dock.left = 48;
  dock.leftStartY = 0;
  dock.leftEndY = rootHeight - 1;
  EXPECT_EQ(usableArea(left, rootWidth, rootHeight, {top, dock}),
            (X11PixelRect{48, 28, 1232, 772}));
  EXPECT_EQ(usableArea(right, rootWidth, rootHeight, {top, dock}),
            (X11PixelRect{1280, 28, 1280, 772}));

  // A strip claiming more than the monitor holds leaves nothing to tile
  // into; the monitor is kept whole rather than given a negative size.
  X11Strut greedy;
  greedy.bottom = 5000;
  greedy.bottomStartX = 0;
  greedy.bottomEndX = rootWidth - 1;
  EXPECT_EQ(usableArea(left, rootWidth, rootHeight, {greedy}), left);
}

} // namespace
} // namespace quillon
