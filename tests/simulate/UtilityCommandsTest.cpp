#include "platform/sim/SimDesktop.h"
#include "support/ScriptTest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace quillon {
namespace {

// Clipboard history and dictation driven end to end, as a script drives them.
class UtilityCommandsTest : public ScriptTest {
protected:
  bool journalHas(const std::string& entry) {
    const auto entries = desktop.journal().entries();
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  }
};

TEST_F(UtilityCommandsTest, TheHotkeyPopUpPastesAPickedEntry) {
  run("frontmost com.example.editor\ncopy first\nwait 0.4\n"
      "copy \"two\\nlines\"\nwait 0.4\ncopy-image\nwait 0.4\n");
  EXPECT_EQ(runJson("history"), nlohmann::json({"two\nlines", "first"}));
  EXPECT_EQ(run("popup"), std::vector<std::string>{"error: popup: no pop-up menu is showing"});

  run("press alt+shift+v\n");
  EXPECT_EQ(runJson("popup"), nlohmann::json::parse(R"([{"title":"1.  two lines","key":"1"},
      {"title":"2.  first","key":"2"},{"title":"Clear clipboard history","key":""}])"));
  EXPECT_EQ(run("pick 9\npick x\n"),
            (std::vector<std::string>{"error: pick: no item 9",
                                      R"(error: pick: expected an item number from 1, got "x")"}));
  EXPECT_EQ(runJson("pick 1\nwait 0.2\ntext"), "two\nlines");
  EXPECT_EQ(
      run("copy \"open\n"),
      std::vector<std::string>{R"(error: copy: expected a text or a JSON string, got "\"open")"});
}

TEST_F(UtilityCommandsTest, TheMenuItemTargetsTheApplicationItWasOpenedOverWhileItRuns) {
  const int editor = desktop.bringToFront("com.example.editor");
  run("copy saved\nwait 0.4\nchoose Clipboard history…\nwait 0.2\n");
  EXPECT_TRUE(journalHas("activate " + std::to_string(editor) + " options 1"));
  run("pick 1\n");
  desktop.journal().clear();
  EXPECT_EQ(runJson("wait 0.2\ntext"), "saved");
  EXPECT_TRUE(journalHas("activate " + std::to_string(editor) + " options 1"));

  // Once the remembered application has quit, the pop-up pastes into
  // whatever is in front instead.
  run("choose Clipboard history…\nwait 0.06\n");
  desktop.workspace().quit(editor);
  const int other = desktop.bringToFront("com.example.other");
  desktop.journal().clear();
  run("wait 0.1\npick 1\nwait 0.2\n");
  EXPECT_TRUE(journalHas("activate " + std::to_string(other) + " options 1"));
}

TEST_F(UtilityCommandsTest, DictationHotkeysUseTheInstalledShortcutThenTheMenu) {
  run("frontmost com.example.editor\n");
  const auto launchLog = runJson("log");
  EXPECT_NE(std::find(launchLog.begin(), launchLog.end(),
                      "Quillon dictation: installed default shortcut ⌃⌥⌘D into entry #164"),
            launchLog.end());
  EXPECT_EQ(runJson("press ctrl+cmd+h\nlog").back(),
            "Quillon dictation: dispatched via system hotkey (com.apple.symbolichotkeys #164)");

  desktop.defaults().set("com.apple.symbolichotkeys", "AppleSymbolicHotKeys",
                         PropertyDictionary{{"164", PropertyDictionary{{"enabled", false}}}});
  run(R"(app-menu [{"title":"Edit","items":[{"title":"Start Dictation…","enabled":true}]}])");
  EXPECT_EQ(runJson("press alt+shift+h\nlog").back(),
            "Quillon dictation: dispatched via Edit > Start Dictation menu item");
  EXPECT_TRUE(journalHas("press menu item Start Dictation…"));

  EXPECT_EQ(run(R"(app-menu [{"title":1}])"),
            std::vector<std::string>{
                R"(error: app-menu: expected a JSON array of {"title", "enabled", "items"} )"
                R"(objects, got "[{\"title\":1}]")"});
}

} // namespace
} // namespace quillon
