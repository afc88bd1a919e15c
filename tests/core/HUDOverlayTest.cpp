#include "core/HUDOverlay.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class HUDOverlayTest : public ::testing::Test {
protected:
  double alpha(std::size_t window) {
    return desktop.userInterface().alphaOf(*desktop.userInterface().hudWindows().at(window));
  }
  bool visible(std::size_t window) {
    return desktop.userInterface().hudWindows().at(window)->visible;
  }

  SimDesktop desktop;
  HUDOverlay hud{desktop.runLoop(), desktop.userInterface(), desktop.screens()};
};

TEST_F(HUDOverlayTest, FadesInHoldsAndFadesOutCentredOnTheMainScreen) {
  hud.show("Auto-switch ON");
  EXPECT_TRUE(desktop.userInterface().hudWindows().empty()) << "the work waits for the main queue";
  desktop.runUntilIdle();
  const auto& window = *desktop.userInterface().hudWindows().at(0);
  EXPECT_EQ(window.frame(), (Rect{{560, 397.5}, {320, 80}}));
  EXPECT_EQ(window.style.message, "Auto-switch ON");
  EXPECT_EQ(window.style.level, 25);
  EXPECT_TRUE(window.style.ignoresMouseEvents);
  EXPECT_TRUE(window.style.singleLine);
  EXPECT_TRUE(window.style.onAllSpaces);
  EXPECT_TRUE(window.style.overFullScreen);
  EXPECT_TRUE(visible(0));
  EXPECT_EQ(alpha(0), 0.0);
  desktop.advance(Duration(0.06));
  EXPECT_NEAR(alpha(0), 0.5, 1e-9);
  desktop.advance(Duration(0.94));
  EXPECT_EQ(alpha(0), 1.0);
  desktop.advance(Duration(0.175));
  EXPECT_NEAR(alpha(0), 0.5, 1e-9);
  EXPECT_TRUE(visible(0));
  desktop.advance(Duration(0.175));
  EXPECT_FALSE(visible(0));
}

TEST_F(HUDOverlayTest, ANewMessageReplacesTheOldAtOnceAndKeepsItsOwnTiming) {
  hud.show("first");
  desktop.advance(Duration(0.5));
  hud.show("second");
  desktop.runUntilIdle();
  EXPECT_FALSE(visible(0));
  EXPECT_TRUE(visible(1));
  // The first message's fade-out runs on its own hidden window only.
  desktop.advance(Duration(0.9));
  EXPECT_TRUE(visible(1));
  EXPECT_EQ(alpha(1), 1.0);
  desktop.advance(Duration(0.1)); // 1.0 s after the second appeared
  EXPECT_EQ(alpha(1), 1.0);
  desktop.advance(Duration(0.349));
  EXPECT_TRUE(visible(1));
  desktop.advance(Duration(0.001));
  EXPECT_FALSE(visible(1));
}

TEST_F(HUDOverlayTest, WithoutAScreenTheBoxStillShows) {
  desktop.screens().setScreens({});
  hud.show("no screen");
  desktop.runUntilIdle();
  EXPECT_TRUE(visible(0));
}

TEST_F(HUDOverlayTest, PendingWorkIsDroppedWithTheOverlay) {
  auto shortLived =
      std::make_unique<HUDOverlay>(desktop.runLoop(), desktop.userInterface(), desktop.screens());
  shortLived->show("shown");
  desktop.runUntilIdle();
  shortLived->show("never shown");
  shortLived.reset();
  desktop.advance(Duration(3));
  ASSERT_EQ(desktop.userInterface().hudWindows().size(), 1u);
  EXPECT_TRUE(desktop.userInterface().hudWindows().front()->closed);
}

} // namespace
} // namespace quillon
