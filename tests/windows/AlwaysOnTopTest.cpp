#include "windows/AlwaysOnTop.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

class AlwaysOnTopTest : public ::testing::Test {
protected:
  std::uint32_t focus(const std::string& bundleIdentifier) {
    const int processIdentifier = desktop.bringToFront(bundleIdentifier);
    return desktop.applications().openWindow(processIdentifier, {{100, 100}, {400, 300}});
  }
  std::int32_t level(std::uint32_t window) { return desktop.applications().window(window)->level; }

  SimDesktop desktop;
  AlwaysOnTop alwaysOnTop{desktop.accessibility(), desktop.windowLevels(), desktop.sound(),
                          desktop.log()};
};

TEST_F(AlwaysOnTopTest, EachToggleOfAWindowFlipsItAndOtherPinnedWindowsStayPinned) {
  const std::uint32_t editor = focus("com.example.editor");
  alwaysOnTop.toggleFocusedWindow();
  const std::uint32_t viewer = focus("com.example.viewer");
  alwaysOnTop.toggleFocusedWindow();
  EXPECT_EQ(level(editor), SimWindowLevels::FloatingLevel);
  EXPECT_EQ(level(viewer), SimWindowLevels::FloatingLevel);
  EXPECT_EQ(alwaysOnTop.pinned().size(), 2u);

  alwaysOnTop.toggleFocusedWindow();
  EXPECT_EQ(level(viewer), SimWindowLevels::NormalLevel);
  EXPECT_EQ(level(editor), SimWindowLevels::FloatingLevel);
  EXPECT_EQ(alwaysOnTop.pinned().count(editor), 1u);
  EXPECT_EQ(desktop.sound().takePlayed(), (std::vector<std::string>{"Pop", "Pop", "Tink"}));
  const std::string viewerId = std::to_string(viewer);
  EXPECT_EQ(desktop.log().takeNewLines(),
            (std::vector<std::string>{
                "Quillon aot: window " + std::to_string(editor) + " pinned to floating level",
                "Quillon aot: window " + viewerId + " pinned to floating level",
                "Quillon aot: window " + viewerId + " unpinned (level → 0)"}));
}

TEST_F(AlwaysOnTopTest, AWindowThatCannotBeNamedLeavesEverythingAsItWas) {
  desktop.bringToFront("com.example.empty");
  alwaysOnTop.toggleFocusedWindow();
  focus("com.example.editor");
  desktop.accessibility().setTrusted(false);
  alwaysOnTop.toggleFocusedWindow();
  EXPECT_EQ(desktop.log().takeNewLines(),
            (std::vector<std::string>(2, "Quillon aot: no focused window / non-AX app")));
  EXPECT_TRUE(desktop.sound().takePlayed().empty());
  EXPECT_TRUE(alwaysOnTop.pinned().empty());
  EXPECT_EQ(desktop.accessibility().messagingTimeout(0), Duration(0.2));
}

TEST_F(AlwaysOnTopTest, APinnedWindowThatClosedLeavesItsNumberPinnedForTheNextToggle) {
  const int editor = desktop.bringToFront("com.example.editor");
  const std::uint32_t window = desktop.applications().openWindow(editor, {{100, 100}, {400, 300}});
  alwaysOnTop.toggleFocusedWindow();
  desktop.applications().application(editor).windows.clear();
  EXPECT_EQ(alwaysOnTop.pinned().count(window), 1u);

  // The window server gives the number to a new window.
  SimWindow reused;
  reused.number = window;
  reused.level = SimWindowLevels::FloatingLevel;
  desktop.applications().application(editor).windows.push_back(reused);
  alwaysOnTop.toggleFocusedWindow();
  EXPECT_TRUE(alwaysOnTop.pinned().empty());
  EXPECT_EQ(desktop.applications().window(window)->level, SimWindowLevels::NormalLevel);
}

} // namespace
} // namespace quillon
