#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

class SimAccessibilityTest : public ::testing::Test {
protected:
  SimAccessibility& accessibility() { return desktop.accessibility(); }
  std::optional<AXElement> focusedWindow(int processIdentifier) {
    return axValueAs<AXElement>(accessibility().copyAttributeValue(
        accessibility().applicationElement(processIdentifier), ax::FocusedWindow));
  }

  SimDesktop desktop;
  int editor = desktop.bringToFront("com.example.editor");
};

TEST_F(SimAccessibilityTest, WindowsAnswerInAccessibilityCoordinatesOfTheCurrentPrimaryDisplay) {
  desktop.applications().openWindow(editor, {{100, 250}, {800, 600}});
  const auto window = focusedWindow(editor);
  ASSERT_TRUE(window);
  EXPECT_EQ(axValueAs<Point>(accessibility().copyAttributeValue(*window, ax::Position)),
            (Point{100, 50}));
  EXPECT_EQ(axValueAs<Size>(accessibility().copyAttributeValue(*window, ax::Size)),
            (Size{800, 600}));
  EXPECT_FALSE(accessibility().copyAttributeValue(*window, ax::Document));
  desktop.applications().application(editor).windows.front().document = "file:///tmp/notes/";
  EXPECT_EQ(axValueAs<std::string>(accessibility().copyAttributeValue(*window, ax::Url)),
            "file:///tmp/notes/");
  const auto parent = axValueAs<AXElement>(accessibility().copyAttributeValue(*window, ax::Parent));
  ASSERT_TRUE(parent);
  EXPECT_TRUE(accessibility().copyAttributeValue(*parent, ax::Windows));

  // The window server keeps the top-left; a taller primary display moves
  // the same window up in screen coordinates.
  desktop.screens().setScreens({{{{0, 0}, {1440, 1000}}, {{0, 0}, {1440, 975}}}});
  const SimWindow* stored = desktop.applications().focusedWindow(editor);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(desktop.applications().frame(*stored), (Rect{{100, 350}, {800, 600}}));
}

TEST_F(SimAccessibilityTest, RefusalsAndMissingPermissionMakeReadsAndWritesFail) {
  const std::uint32_t number = desktop.applications().openWindow(editor, {{0, 0}, {400, 300}});
  auto& application = desktop.applications().application(editor);
  application.refusedAttributes.insert(std::string(ax::FocusedWindow));
  EXPECT_FALSE(focusedWindow(editor));
  const auto windows = axValueAs<std::vector<AXElement>>(
      accessibility().copyAttributeValue(accessibility().applicationElement(editor), ax::Windows));
  ASSERT_TRUE(windows);
  ASSERT_EQ(windows->size(), 1u);
  EXPECT_EQ(accessibility().windowNumber(windows->front()), number);

  application.refusesWrites = true;
  EXPECT_FALSE(accessibility().setAttributeValue(windows->front(), ax::Size, Size{10, 10}));
  EXPECT_EQ(desktop.applications().window(number)->size, (Size{400, 300}));
  EXPECT_EQ(application.writes, std::vector<std::string>{"AXSize"});

  desktop.accessibility().setTrusted(false);
  EXPECT_FALSE(accessibility().copyAttributeValue(windows->front(), ax::Position));
  EXPECT_FALSE(accessibility().windowNumber(windows->front()));
  EXPECT_FALSE(accessibility().copyAttributeValue(accessibility().systemWideElement(),
                                                  ax::FocusedApplication));
}

TEST_F(SimAccessibilityTest, ALateWindowIsAnnouncedToObserversOfItsApplicationOnly) {
  std::vector<std::uint32_t> created;
  const Observation observation =
      accessibility().observe(editor, ax::WindowCreated, [&](const AXElement& window) {
        created.push_back(*accessibility().windowNumber(window));
      });
  const int other = desktop.bringToFront("com.example.other");
  desktop.applications().openWindow(other, {{0, 0}, {10, 10}});
  desktop.applications().openWindowAfter(editor, Duration(2), {{0, 0}, {400, 300}});

  desktop.advance(Duration(1.9));
  EXPECT_FALSE(focusedWindow(editor));
  desktop.advance(Duration(0.2));
  ASSERT_TRUE(focusedWindow(editor));
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(desktop.applications().owner(created.front()), editor);
}

TEST_F(SimAccessibilityTest, ElementAtAPointIsTheFrontmostApplicationsWindowThere) {
  const int behind = desktop.bringToFront("com.example.behind");
  const std::uint32_t back = desktop.applications().openWindow(behind, {{0, 0}, {1440, 875}});
  desktop.bringToFront("com.example.editor");
  const std::uint32_t front = desktop.applications().openWindow(editor, {{0, 475}, {400, 400}});
  const AXElement systemWide = accessibility().systemWideElement();

  const auto top = accessibility().elementAtPosition(systemWide, {10, 30});
  ASSERT_TRUE(top);
  EXPECT_EQ(accessibility().windowNumber(*top), front);
  const auto below = accessibility().elementAtPosition(systemWide, {600, 600});
  ASSERT_TRUE(below);
  EXPECT_EQ(accessibility().windowNumber(*below), back);
  EXPECT_FALSE(accessibility().elementAtPosition(systemWide, {2000, 30}));
}

} // namespace
} // namespace quillon
