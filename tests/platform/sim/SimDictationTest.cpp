#include "platform/KeyCodes.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

namespace shortcut = dictationshortcut;

PropertyDictionary dictationEntry(PropertyValue enabled, PropertyArray parameters) {
  return PropertyDictionary{
      {"enabled", std::move(enabled)},
      {"value", PropertyDictionary{{"parameters", std::move(parameters)}, {"type", "standard"}}}};
}

PropertyValue hotkeysWith(PropertyDictionary entry) {
  return PropertyDictionary{{"164", std::move(entry)},
                            {"60", dictationEntry(true, {32, 49, 262144})}};
}

SimMenuItem menu(std::string title, std::vector<SimMenuItem> items,
                 std::optional<bool> enabled = std::nullopt) {
  return SimMenuItem{std::move(title), enabled, std::move(items)};
}

SimMenuItem item(std::string title, std::optional<bool> enabled = std::nullopt) {
  return SimMenuItem{std::move(title), enabled, {}};
}

class SimDictationTest : public ::testing::Test {
protected:
  void storeHotkeys(PropertyValue hotkeys) {
    desktop.defaults().set(shortcut::domain, shortcut::key, std::move(hotkeys));
  }
  std::optional<PropertyValue> storedHotkeys() {
    return desktop.defaults().object(shortcut::domain, shortcut::key);
  }
  // Gives the frontmost application a menu bar holding these menus.
  void giveMenus(std::vector<SimMenuItem> menus) {
    const int application = desktop.bringToFront("com.example.editor");
    desktop.applications().application(application).menuBar = menu("", std::move(menus));
    pressed = &desktop.applications().application(application).pressedMenuItems;
  }

  SimDesktop desktop;
  SimDictation& launcher = desktop.dictation();
  const std::vector<std::string>* pressed = nullptr;
};

TEST(SimDictationShortcutTest, OnlyAnEnabledEntryWithThreeNumbersAndAUsableKeyCounts) {
  EXPECT_EQ(shortcut::configured(hotkeysWith(dictationEntry(true, {100, 2, 1835008}))),
            (shortcut::Shortcut{2, 0x1C0000}));
  EXPECT_EQ(shortcut::configured(hotkeysWith(dictationEntry(true, {100.0, 2.0, 1835008.0}))),
            (shortcut::Shortcut{2, 0x1C0000}));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(false, {100, 2, 1835008}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(1, {100, 2, 1835008}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(true, {100, 2}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(true, {100, 0, 1835008}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(true, {100, 65535, 1835008}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(true, {100, 2, -1}))));
  EXPECT_FALSE(shortcut::configured(hotkeysWith(dictationEntry(true, {"d", 2, 1835008}))));
  EXPECT_FALSE(shortcut::configured(PropertyValue("not a dictionary")));
  EXPECT_FALSE(shortcut::configured(PropertyDictionary{{"164", "not an entry"}}));
}

TEST_F(SimDictationTest, EnsuringInstallsTheDefaultOverAnUnusableEntryAndKeepsTheOthers) {
  storeHotkeys(hotkeysWith(dictationEntry(false, {115, 1, 1048576})));
  launcher.prepare();
  const auto stored = storedHotkeys();
  ASSERT_TRUE(stored);
  EXPECT_EQ(shortcut::configured(*stored), (shortcut::Shortcut{2, 0x1C0000}));
  EXPECT_EQ(stored->get<PropertyDictionary>()->at("164"),
            PropertyValue(dictationEntry(true, {100, 2, 1835008})));
  EXPECT_TRUE(stored->get<PropertyDictionary>()->contains("60"));
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{
                "Quillon dictation: installed default shortcut ⌃⌥⌘D into entry #164"});
  ASSERT_EQ(desktop.processes().spawns().size(), 1u);
  EXPECT_EQ(desktop.processes().spawns().front().executable, SimDictationShortcut::settingsTool);
  EXPECT_EQ(desktop.processes().spawns().front().arguments, std::vector<std::string>{"-u"});

  // Once configured it is left alone; nothing is started.
  launcher.prepare();
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon dictation: shortcut already configured "
                                     "(keyCode=2, mods=0x1c0000) — leaving as-is"});
  EXPECT_EQ(desktop.processes().spawns().size(), 1u);
}

TEST_F(SimDictationTest, EnsuringReportsAMissingToolAndNeverOverwritesAMistypedStore) {
  desktop.processes().removeTool(SimDictationShortcut::settingsTool);
  launcher.prepare();
  EXPECT_TRUE(shortcut::configured(*storedHotkeys()));
  const auto lines = desktop.log().takeNewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].starts_with("Quillon dictation: activateSettings -u failed: "));

  storeHotkeys(PropertyValue("garbled"));
  launcher.prepare();
  EXPECT_EQ(storedHotkeys(), PropertyValue("garbled"));
  EXPECT_EQ(desktop.log().takeNewLines().size(), 1u);
}

TEST_F(SimDictationTest, TheConfiguredShortcutIsPressedWithExactlyItsFlags) {
  storeHotkeys(hotkeysWith(dictationEntry(true, {100, 2, 1835008})));
  launcher.start();
  const auto events = desktop.textField().takeDeliveredEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, EventType::KeyDown);
  EXPECT_EQ(events[1].type, EventType::KeyUp);
  for (const DeliveredEvent& event : events) {
    EXPECT_EQ(event.keyCode, 2);
    EXPECT_EQ(event.flags, 0x1C0000u);
    EXPECT_TRUE(event.marked);
  }
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      (std::vector<std::string>{
          "Quillon dictation: dispatched via system hotkey (com.apple.symbolichotkeys #164)"}));
}

TEST_F(SimDictationTest, TheMenuSearchSkipsSettingsAndDisabledItemsAndStopsBelowFiveLevels) {
  // A disabled entry sends the trigger to the menus.
  storeHotkeys(hotkeysWith(dictationEntry(false, {100, 2, 1835008})));
  giveMenus(
      {menu("File", {item("Dictation Settings…")}),
       menu("Edit", {item("Undo"), item("Start Dictation…", false), item("Start Dictation…")})});
  launcher.start();
  EXPECT_EQ(*pressed, std::vector<std::string>{"Start Dictation…"});
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());
  EXPECT_EQ(desktop.log().takeNewLines().back(),
            "Quillon dictation: dispatched via Edit > Start Dictation menu item");

  giveMenus({menu("Правка", {item("Настройки диктовки…"), item("Начать диктовку")})});
  EXPECT_TRUE(launcher.invokeMenuItem());
  EXPECT_EQ(pressed->back(), "Начать диктовку");

  // Five levels below the menu bar are searched, a sixth is not.
  auto nested = [](int levels) {
    SimMenuItem found = item("Start Dictation");
    for (int level = 1; level < levels; ++level) {
      found = menu("Level " + std::to_string(level), {found});
    }
    return found;
  };
  giveMenus({nested(5)});
  EXPECT_TRUE(launcher.invokeMenuItem());
  giveMenus({nested(6)});
  EXPECT_FALSE(launcher.invokeMenuItem());
}

TEST_F(SimDictationTest, WithNeitherShortcutNorMenuItemFnF5IsSentWithPauses) {
  giveMenus({menu("Edit", {item("Copy")})});
  const TimePoint start = desktop.clock().now();
  launcher.start();
  EXPECT_NEAR(Duration(desktop.clock().now() - start).count(),
              3 * SimDictation::fallbackPause.count(), 1e-6);
  const auto events = desktop.textField().takeDeliveredEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].type, EventType::FlagsChanged);
  EXPECT_EQ(events[0].keyCode, keycode::Function);
  EXPECT_EQ(events[0].flags, flag::Fn);
  EXPECT_EQ(events[1].type, EventType::KeyDown);
  EXPECT_EQ(events[1].keyCode, keycode::F5);
  EXPECT_EQ(events[1].flags, flag::Fn);
  EXPECT_EQ(events[2].type, EventType::KeyUp);
  EXPECT_EQ(events[3].type, EventType::FlagsChanged);
  EXPECT_EQ(events[3].flags, 0u);
  EXPECT_EQ(desktop.log().takeNewLines().size(), 1u);
}

} // namespace
} // namespace quillon
