#include "platform/sim/SimUserInterface.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class SimStatusItemTest : public ::testing::Test {
protected:
  SimStatusItemTest() {
    statusItem = ui.makeStatusItem({
        .clicked = [this](const StatusItemClick& click) { clicks.push_back(click); },
        .menuWillOpen = [this] { ++opened; },
        .menuItemChosen = [this](int tag) { chosen.push_back(tag); },
    });
    MenuItem parent{.title = "Parent", .enabled = false};
    parent.submenu.push_back(MenuItem{.title = "Child", .tag = 2});
    statusItem->setMenu({MenuItem{.title = "One", .tag = 1}, MenuItem::makeSeparator(), parent});
  }

  VirtualClock clock;
  VirtualRunLoop runLoop{clock};
  SimJournal journal;
  SimUserInterface ui{clock, runLoop, journal};
  std::unique_ptr<StatusItem> statusItem;
  std::vector<StatusItemClick> clicks;
  int opened = 0;
  std::vector<int> chosen;
};

TEST_F(SimStatusItemTest, AClickOnAnOpenMenuOnlyClosesIt) {
  statusItem->popUpMenu();
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(ui.clickStatusItem(MouseButton::Left));
  EXPECT_TRUE(clicks.empty());
  EXPECT_FALSE(ui.statusItem()->menuShowing);
  EXPECT_TRUE(ui.clickStatusItem(MouseButton::Right));
  EXPECT_EQ(clicks, (std::vector<StatusItemClick>{{MouseButton::Right, 1}}));
}

TEST_F(SimStatusItemTest, ChoosingRunsTheItemThenCloses) {
  EXPECT_EQ(ui.chooseMenuItem({"One"}), MenuChoice::NoMenuShowing);
  statusItem->popUpMenu();
  EXPECT_EQ(ui.chooseMenuItem({"Parent", "Child"}), MenuChoice::Disabled)
      << "a greyed submenu cannot be entered";
  EXPECT_EQ(ui.chooseMenuItem({"One", "Child"}), MenuChoice::NoSuchItem);
  EXPECT_TRUE(ui.statusItem()->menuShowing);
  EXPECT_EQ(ui.chooseMenuItem({"One"}), MenuChoice::Chosen);
  EXPECT_EQ(chosen, std::vector<int>{1});
  EXPECT_FALSE(ui.statusItem()->menuShowing);
}

TEST_F(SimStatusItemTest, ARemovedItemHearsNothingMore) {
  statusItem->popUpMenu();
  statusItem.reset();
  EXPECT_EQ(ui.statusItem(), nullptr);
  EXPECT_FALSE(ui.clickStatusItem(MouseButton::Left));
  EXPECT_EQ(ui.chooseMenuItem({"One"}), MenuChoice::NoMenuShowing);
  EXPECT_TRUE(chosen.empty());
  EXPECT_EQ(journal.entries(), std::vector<std::string>{"create status item"});
}

} // namespace
} // namespace quillon
