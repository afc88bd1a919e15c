// The status menu's items for layout correction, chosen as the user would.
#include "app/AppDelegate.h"
#include "app/MenuSearch.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Words = std::vector<std::string>;

class CorrectionMenuTest : public ::testing::Test {
protected:
  CorrectionMenuTest() {
    desktop.application().run(app);
    desktop.runUntilIdle();
  }
  SimUserInterface& ui() { return desktop.userInterface(); }
  const MenuItem& shown(MenuCommand command) {
    return *findMenuItem(ui().statusItem()->menu, command);
  }
  // Opens the menu unless it is open, and lets it refresh.
  void openMenu() {
    if (!ui().statusItem()->menuShowing) {
      ui().clickStatusItem(MouseButton::Right, 1);
      desktop.runUntilIdle();
    }
  }
  MenuChoice choose(MenuCommand command) {
    openMenu();
    return ui().chooseMenuItem(menuPathTo(ui().statusItem()->menu, command));
  }
  Words list(Settings::ListKey key) { return app.settings().list(key); }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

TEST_F(CorrectionMenuTest, TheApplicationInFrontIsExcludedAndIncludedAgain) {
  desktop.bringToFront("com.example.terminal");
  const std::string name = desktop.workspace().frontmostApplication()->localizedName;
  openMenu();
  EXPECT_EQ(shown(MenuCommand::toggleExcludeFrontmostApp).title, "Don't correct in " + name);
  EXPECT_FALSE(shown(MenuCommand::toggleExcludeFrontmostApp).checked);
  ASSERT_EQ(choose(MenuCommand::toggleExcludeFrontmostApp), MenuChoice::Chosen);
  EXPECT_EQ(list(Settings::ListKey::autoSwitchExcludedApps), Words{"com.example.terminal"});

  desktop.bringToFront("com.example.editor");
  ASSERT_EQ(choose(MenuCommand::toggleExcludeFrontmostApp), MenuChoice::Chosen);
  EXPECT_EQ(list(Settings::ListKey::autoSwitchExcludedApps),
            (Words{"com.example.terminal", "com.example.editor"}));

  desktop.bringToFront("com.example.terminal");
  openMenu();
  EXPECT_TRUE(shown(MenuCommand::toggleExcludeFrontmostApp).checked);
  ASSERT_EQ(choose(MenuCommand::toggleExcludeFrontmostApp), MenuChoice::Chosen);
  EXPECT_EQ(list(Settings::ListKey::autoSwitchExcludedApps), Words{"com.example.editor"});
}

TEST_F(CorrectionMenuTest, LearnedWordsAreCountedAndForgotten) {
  app.settings().setList({"ghbdtn", "rfr"}, Settings::ListKey::autoSwitchNeverSwitch);
  openMenu();
  EXPECT_EQ(shown(MenuCommand::forgetLearnedWords).title, "Forget learned words (2)");
  ASSERT_EQ(choose(MenuCommand::forgetLearnedWords), MenuChoice::Chosen);
  EXPECT_TRUE(list(Settings::ListKey::autoSwitchNeverSwitch).empty());
  openMenu();
  EXPECT_EQ(shown(MenuCommand::forgetLearnedWords).title, "Forget learned words (0)");
  EXPECT_FALSE(shown(MenuCommand::forgetLearnedWords).enabled);
}

TEST_F(CorrectionMenuTest, DictionaryCheckingIsASwitchOffByDefault) {
  openMenu();
  EXPECT_FALSE(shown(MenuCommand::toggleDictionaryCorrection).checked);
  ASSERT_EQ(choose(MenuCommand::toggleDictionaryCorrection), MenuChoice::Chosen);
  EXPECT_TRUE(app.settings().dictionaryCorrectionEnabled());
  openMenu();
  EXPECT_TRUE(shown(MenuCommand::toggleDictionaryCorrection).checked);
}

} // namespace
} // namespace quillon
