#include "simulate/Chord.h"
#include "support/LaunchLog.h"
#include "support/ScriptTest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace quillon {
namespace {

using ScriptRunnerTest = ScriptTest;

TEST_F(ScriptRunnerTest, TypesPhysicalKeysThroughTheCurrentLayout) {
  // Without correction, so what the keys type stays as typed.
  EXPECT_EQ(
      run("set autoEnableOnLaunch false\nset autoSwitchLayoutEnabled false\n"
          "layouts com.apple.keylayout.US,com.apple.keylayout.Russian\n"
          "source\n"
          "keys us Hello, World?\n"
          "text\n"
          "clear\n"
          "keys ru(mac) привет \n"
          "text\n"
          "select com.apple.keylayout.Russian\n"
          "source\n"
          "clear\n"
          "keys us ghbdtn\n"
          "text\n"),
      (std::vector<std::string>{"\"com.apple.keylayout.US\"", "\"Hello, World?\"", "\"ghbdtn \"",
                                "\"com.apple.keylayout.Russian\"", "\"привет\""}));
}

TEST_F(ScriptRunnerTest, KeysTakesVirtualTimeAndShiftEvents) {
  const TimePoint before = desktop.clock().now();
  run("keys us aB\n");
  EXPECT_EQ(std::chrono::duration<double>(desktop.clock().now() - before).count(), 0.08);
  const auto events = runJson("events");
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0],
            (nlohmann::json{{"type", "keyDown"}, {"keyCode", 0}, {"flags", 0}, {"marked", false}}));
  EXPECT_EQ(events[2]["type"], "flagsChanged");
  EXPECT_EQ(events[2]["keyCode"], 56);
  EXPECT_EQ(events[2]["flags"], 0x20000);
  EXPECT_EQ(events[3]["keyCode"], 11);
  EXPECT_EQ(events[3]["flags"], 0x20000);
  EXPECT_EQ(events[5]["flags"], 0);
  EXPECT_EQ(runJson("events"), nlohmann::json::array());
}

TEST_F(ScriptRunnerTest, UntypableTextTypesNothing) {
  const auto lines = run("keys us abc€\ntext\nkeys zz(bad x\nkeys us\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("error:", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "\"\"");
  EXPECT_EQ(lines[2].rfind("error:", 0), 0u);
  EXPECT_EQ(lines[3].rfind("error:", 0), 0u);
}

TEST_F(ScriptRunnerTest, HotkeysAreSwallowedAndTheVideoOverlayShortcutIsPosted) {
  run("press ctrl+cmd+v\n");
  const auto events = runJson("events");
  std::vector<nlohmann::json> keyDowns;
  for (const auto& event : events) {
    if (event["type"] == "keyDown") {
      keyDowns.push_back(event);
    }
  }
  ASSERT_EQ(keyDowns.size(), 1u) << events.dump();
  EXPECT_EQ(keyDowns[0],
            (nlohmann::json{
                {"type", "keyDown"}, {"keyCode", 23}, {"flags", 0x120000}, {"marked", true}}));
  const auto log = runJson("log");
  EXPECT_EQ(log.back(), "Quillon video: opening macOS overlay (Shift+Cmd+5)");
}

TEST_F(ScriptRunnerTest, ChordsPressModifiersInOrderAndReleaseInReverse) {
  run("press cmd+shift\n");
  const auto events = runJson("events");
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0]["keyCode"], 55);
  EXPECT_EQ(events[0]["flags"], 0x100000);
  EXPECT_EQ(events[1]["flags"], 0x120000);
  EXPECT_EQ(events[2]["keyCode"], 56);
  EXPECT_EQ(events[2]["flags"], 0x100000);
  EXPECT_EQ(events[3]["flags"], 0);
}

TEST_F(ScriptRunnerTest, ClipboardShortcutsWorkInTheField) {
  EXPECT_EQ(run("clipboard\nkeys us copy me\npress cmd+a\npress cmd+c\nclipboard\n"
                "press right\npress cmd+v\ntext\n"),
            (std::vector<std::string>{"null", "\"copy me\"", "\"copy mecopy me\""}));
}

TEST_F(ScriptRunnerTest, SettingsAndLogReadBackAsJson) {
  EXPECT_EQ(run("set autoEnableOnLaunch false\nset folderPeekEnabled false\nget folderPeekEnabled\n"
                "get sleepBlockerEnabled\n"),
            (std::vector<std::string>{"false", "false"}));
  EXPECT_EQ(runJson("log"), nlohmann::json(expectedLaunchLog(desktop, true)));
  EXPECT_EQ(runJson("log"), nlohmann::json::array());
}

TEST_F(ScriptRunnerTest, SetupCommandsComeBeforeTheLaunch) {
  run("trust false\nlayouts com.apple.keylayout.German\n");
  EXPECT_FALSE(runner.hasLaunched());
  run("wait 0\n");
  EXPECT_EQ(runJson("log"), nlohmann::json(expectedLaunchLog(desktop, false)));
  run("trust true\nwait 1.5\npress ctrl+cmd+t\n");
  // The tap came up on the retry tick and now swallows the hotkey.
  for (const auto& event : runJson("events")) {
    EXPECT_FALSE(event["type"] == "keyDown" && event["keyCode"] == 17) << event.dump();
  }
  EXPECT_EQ(runJson("source"), "com.apple.keylayout.German");
}

TEST_F(ScriptRunnerTest, AWholeScriptLaunchesEvenWithoutCommands) {
  std::istringstream script("# nothing but a comment\n");
  runner.run(script);
  EXPECT_TRUE(runner.hasLaunched());
}

TEST_F(ScriptRunnerTest, QuittingEndsTheScript) {
  std::istringstream script("get copyKeysEnabled\nchoose Quit Quillon\nget copyKeysEnabled\n");
  runner.run(script);
  EXPECT_EQ(out.str(), "true\n");
  EXPECT_TRUE(desktop.application().isTerminated());
}

TEST_F(ScriptRunnerTest, GarbageLinesPrintOneErrorEachAndTheRunGoesOn) {
  const auto lines = run("# a comment\n\n   \nfly away\nwait\nwait -1\nwait 1e400\nwait abc\n"
                         "set nosuchKey true\nset copyKeysEnabled maybe\nget\ntrust 1\n"
                         "select com.apple.keylayout.Nope\nlayouts ,\nlayouts com.apple.Nope\n"
                         "press ctrl+\npress hyper+a\npress a+ctrl\npress f13\ntext now\n"
                         "keys us ok\r\ntext\r\n");
  ASSERT_EQ(lines.size(), 18u);
  for (std::size_t index = 0; index + 1 < lines.size(); ++index) {
    EXPECT_EQ(lines[index].rfind("error: ", 0), 0u) << lines[index];
  }
  EXPECT_EQ(lines.back(), "\"ok\"");
}

TEST_F(ScriptRunnerTest, ScrollPrintsTheDeliveredDeltas) {
  EXPECT_EQ(runJson("scroll 3"), (nlohmann::json{{"axis1", 3},
                                                 {"axis2", 0},
                                                 {"fixedPtAxis1", 3.0},
                                                 {"fixedPtAxis2", 0.0},
                                                 {"pointAxis1", 30.0},
                                                 {"pointAxis2", 0.0},
                                                 {"continuous", false}}));
  run("set invertMouseWheelEnabled true\n");
  const auto inverted = runJson("scroll -2 5");
  EXPECT_EQ(inverted["axis1"], 2);
  EXPECT_EQ(inverted["axis2"], -5);
  const auto trackpad = runJson("scroll -2 5 continuous");
  EXPECT_EQ(trackpad["axis1"], -2);
  EXPECT_EQ(trackpad["continuous"], true);
  EXPECT_EQ(runJson("scroll -9223372036854775808")["axis1"], 9223372036854775807);
  for (const auto& line : run("scroll\nscroll 1.5\nscroll 1 2 3\nscroll x continuous\n")) {
    EXPECT_EQ(line.rfind("error:", 0), 0u) << line;
  }
}

TEST_F(ScriptRunnerTest, GesturesShowInSoundsAndHud) {
  EXPECT_EQ(
      run("press shift\nwait 0.2\npress shift\nget autoSwitchLayoutEnabled\nsounds\nhud\n"
          "sounds\nhud\n"),
      (std::vector<std::string>{"false", "[\"Bottle\"]", "[\"Auto-switch OFF\"]", "[]", "[]"}));
  EXPECT_EQ(run("press cmd+shift\nsource\n"),
            std::vector<std::string>{"\"com.apple.keylayout.Russian\""});
}

TEST_F(ScriptRunnerTest, OneCDoubleClickThroughTheScript) {
  run("set oneCDoubleClickToF2Enabled true\n"
      "frontmost com.example.accounting /Applications/1cv8c-8.3.app\n"
      "events\nclick 10 20\nwait 0.1\nclick 12 21\nwait 0.3\n");
  int controlReturns = 0;
  for (const auto& event : runJson("events")) {
    if (event["type"] == "keyDown" && event["keyCode"] == 36 && event["flags"] == 0x40000 &&
        event["marked"] == true) {
      ++controlReturns;
    }
  }
  EXPECT_EQ(controlReturns, 2);
  EXPECT_EQ(runJson("sounds"), nlohmann::json{"Pop"});
  for (const auto& line : run("frontmost\nclick 1\nclick a b\nclick 1 2 3\n")) {
    EXPECT_EQ(line.rfind("error:", 0), 0u) << line;
  }
}

TEST_F(ScriptRunnerTest, PunctuationAndCommandRemapsEndToEnd) {
  EXPECT_EQ(run("keys us a\npress shift+/\npress shift+/\ntext\npress cmd+a\npress ctrl+c\n"
                "clipboard\n"),
            (std::vector<std::string>{"\"a,\"", "\"a,\""}));
}

TEST_F(ScriptRunnerTest, MenuPrintsTheWholeMenuOnOneLine) {
  const auto menu = runJson("menu");
  ASSERT_TRUE(menu.is_array());
  EXPECT_EQ(menu.front(), (nlohmann::json{{"title", "⌨️ Parlando Quillon"},
                                          {"action", "openQuillonSite"},
                                          {"enabled", true},
                                          {"checked", false}}));
  EXPECT_EQ(menu.at(5), (nlohmann::json{{"separator", true}}));
  EXPECT_EQ(menu.back()["title"], "Quit Quillon");
  EXPECT_EQ(menu.back()["key"], "q");
  EXPECT_EQ(menu.back()["modifiers"], 0x100000);
  const auto snap = std::find_if(menu.begin(), menu.end(), [](const auto& item) {
    return item.value("title", "") == "Snap window";
  });
  ASSERT_NE(snap, menu.end());
  const auto& leftHalf = (*snap)["submenu"].front();
  EXPECT_EQ(leftHalf["title"], "Left half");
  EXPECT_EQ(leftHalf["key"], "\uF702");
  EXPECT_EQ(leftHalf["modifiers"], 0x140000);
  // One item alone, by its path.
  EXPECT_EQ(runJson("menu Snap window > Left half"), leftHalf);
  EXPECT_EQ(run("menu Snap window > Nope\n").at(0).rfind("error: menu: ", 0), 0u);
}

TEST_F(ScriptRunnerTest, ChooseOpensTheMenuThenPicksTheItem) {
  run("frontmost com.example.editor\nchoose Snap window > Left half\n");
  // Opening the menu first noted the application to act on.
  const auto& target = runner.application().statusItem().prevFrontmostApp();
  ASSERT_TRUE(target);
  EXPECT_EQ(target->bundleIdentifier, "com.example.editor");

  EXPECT_EQ(run("choose Патч 1С > Двойной клик → Ctrl+Enter (Pop при срабатывании)\n"
                "get oneCDoubleClickToF2Enabled\n"),
            std::vector<std::string>{"true"});
  const auto menu = runJson("menu");
  const auto oneC = std::find_if(menu.begin(), menu.end(), [](const auto& item) {
    return item.value("title", "") == "Патч 1С";
  });
  ASSERT_NE(oneC, menu.end());
  EXPECT_EQ((*oneC)["submenu"].front()["checked"], true);
  EXPECT_EQ(runJson("status-item")["menuShowing"], false) << "choosing closes the menu";

  const auto errors = run("choose\nchoose Nope\nchoose Snap window\nchoose Snap window >\n"
                          "choose Hotkeys > ⌃⌘T — pin window above all apps\nchoose Quillon\n");
  ASSERT_EQ(errors.size(), 6u);
  for (const auto& line : errors) {
    EXPECT_EQ(line.rfind("error: choose: ", 0), 0u) << line;
  }
  EXPECT_EQ(runJson("status-item")["menuShowing"], false)
      << "a failed choice closes what it opened";
}

TEST_F(ScriptRunnerTest, StatusClicksFollowTheDoubleClickInterval) {
  EXPECT_EQ(runJson("status-item"), (nlohmann::json{{"title", "QL"},
                                                    {"color", "label"},
                                                    {"tooltip", nullptr},
                                                    {"menuShowing", false},
                                                    {"menuShownCount", 0}}));
  run("status-click left\n");
  EXPECT_EQ(runJson("status-item")["menuShowing"], false);
  run("wait 0.5\n");
  EXPECT_EQ(runJson("status-item")["menuShowing"], true);
  run("status-click left\nstatus-click double\nwait 1\n");
  const auto state = runJson("status-item");
  EXPECT_EQ(state["menuShowing"], false);
  EXPECT_EQ(state["menuShownCount"], 1);
  run("status-click right\n");
  EXPECT_EQ(runJson("status-item")["menuShowing"], true);
  for (const auto& line : run("status-click\nstatus-click middle\nstatus-item now\n")) {
    EXPECT_EQ(line.rfind("error:", 0), 0u) << line;
  }
}

TEST_F(ScriptRunnerTest, SelectAllSelectsTheWholeField) {
  EXPECT_EQ(run("keys us hello\nselectall\nkeys us x\ntext\n"), std::vector<std::string>{"\"x\""});
}

TEST(ChordTest, ParsesKeysAndModifiers) {
  std::string error;
  const auto plusKey = parseChord("cmd++", &error);
  ASSERT_TRUE(plusKey) << error;
  EXPECT_EQ(plusKey->key, keycode::Equal);
  EXPECT_EQ(plusKey->modifiers, (std::vector<KeyCode>{keycode::Command, keycode::Shift}));

  const auto question = parseChord("shift+?", &error);
  ASSERT_TRUE(question);
  EXPECT_EQ(question->modifiers, std::vector<KeyCode>{keycode::Shift});
  EXPECT_EQ(question->key, keycode::Slash);

  const auto arrow = parseChord("fn+ctrl+LEFT", &error);
  ASSERT_TRUE(arrow);
  EXPECT_EQ(arrow->key, keycode::LeftArrow);

  const auto backslash = parseChord("cmd+\\", &error);
  ASSERT_TRUE(backslash);
  EXPECT_EQ(backslash->key, keycode::Backslash);

  EXPECT_FALSE(parseChord("", &error));
  EXPECT_FALSE(parseChord("ctrl++a", &error));
  EXPECT_FALSE(parseChord("ctrl+é", &error));
}

} // namespace
} // namespace quillon
