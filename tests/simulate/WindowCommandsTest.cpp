#include "support/ScriptTest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace quillon {
namespace {

// The window features driven end to end, as a script drives them.
using WindowCommandsTest = ScriptTest;

TEST_F(WindowCommandsTest, HotkeysAndTheMenuSnapTheFocusedWindow) {
  run("set autoSnapMouseDragEnabled false\nfrontmost com.example.editor\n"
      "window 100 100 500 400\n");
  EXPECT_EQ(runJson("press ctrl+cmd+left\nframe"), nlohmann::json({0, 0, 720, 875}));
  EXPECT_EQ(runJson("press ctrl+cmd+4\nframe"), nlohmann::json({720, 0, 720, 437.5}));
  EXPECT_EQ(runJson("press ctrl+cmd+up\nframe"), nlohmann::json({0, 0, 1440, 875}));
  run("window 0 0 400 300\npress ctrl+cmd+down\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({520, 287.5, 400, 300}));

  // The menu acts once the focus is back on the editor.
  run("choose Snap window > Right half\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({520, 287.5, 400, 300}));
  EXPECT_EQ(runJson("wait 0.2\nframe"), nlohmann::json({720, 0, 720, 875}));
}

TEST_F(WindowCommandsTest, PinningByHotkeyAndMenuTogglesTheLevelWithSounds) {
  run("frontmost com.example.editor\nwindow 100 100 500 400\nsounds\n");
  EXPECT_EQ(run("press ctrl+cmd+t\nlevel\n"), std::vector<std::string>{"3"});
  EXPECT_EQ(run("choose Pin window above all apps\nwait 0.2\nlevel\nsounds\n"),
            (std::vector<std::string>{"0", R"(["Pop","Tink"])"}));
}

TEST_F(WindowCommandsTest, TheWindowSwitchesStartAndStopTheManagerAndSetTheMargins) {
  run("set restoreWindowPositionsEnabled false\nwait 0\nlog\n");
  run("choose Snap window > Auto-snap mouse-dragged windows to exact edges\n");
  EXPECT_EQ(runJson("log"), nlohmann::json({"Quillon WindowPositionManager: stopped",
                                            "Quillon: EnableTiledWindowMargins Optional(false) → "
                                            "true"}));
  EXPECT_EQ(runJson("defaults com.apple.WindowManager EnableTiledWindowMargins"), true);
}

TEST_F(WindowCommandsTest, AWindowOnADisplayThatComesAndGoesReturnsToItsFrame) {
  run("screens 0,0,1440,900;1440,0,1920,1080\nset restoreWindowPositionsEnabled true\n"
      "frontmost com.example.a\nwindow 1600 100 600 400\nwait 1\nscreens 0,0,1440,900\n");
  // The system has brought the window onto the display that is left.
  EXPECT_EQ(runJson("frame"), nlohmann::json({840, 100, 600, 400}));
  run("screens-changed\nwait 2\nscreens 0,0,1440,900;1440,0,1920,1080\nscreens-changed\n"
      "wait 2\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({1600, 100, 600, 400}));
}

TEST_F(WindowCommandsTest, ADraggedWindowSnapsAndIsRestoredAtItsNextLaunch) {
  run("set restoreWindowPositionsEnabled true\nlaunch com.example.notes\nwait 0.6\n"
      "window 10 5 700 860\nwait 0.6\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({0, 0, 720, 875}));
  EXPECT_EQ(runJson("defaults com.quillon.Quillon quillon.windowPositions"),
            nlohmann::json({{"com.example.notes", {0, 0, 720, 875}}}));

  // A second application whose window arrives two seconds after launch gets
  // the frame saved for it by the try at about 2.2 s.
  desktop.defaults().set(
      "com.quillon.Quillon", "quillon.windowPositions",
      PropertyDictionary{{"com.example.late", PropertyArray{300.0, 200.0, 600.0, 500.0}}});
  run("launch com.example.late 2\nwait 2.15\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({200, 150, 800, 600}));
  EXPECT_EQ(runJson("wait 0.1\nframe"), nlohmann::json({300, 200, 600, 500}));
}

TEST_F(WindowCommandsTest, ScreensWakeAndDisplayChanges) {
  run("screens 0,0,1440,900;0,900,1920,1080/0,900,1920,1000\n"
      "set restoreWindowPositionsEnabled true\nset autoSnapMouseDragEnabled false\n"
      "frontmost com.example.editor\nwindow 100 1000 400 300\nwait 0.6\n"
      "press ctrl+cmd+left\nwait 0.6\n");
  EXPECT_EQ(runJson("frame"), nlohmann::json({0, 900, 960, 1000}));

  // The user moves the window while another application is in front, so
  // the move is not remembered; waking puts the remembered frame back.
  const auto moveEditorAway = [this] {
    run("frontmost com.example.other\n");
    for (const RunningApplication& running : desktop.workspace().runningApplications()) {
      if (running.bundleIdentifier == "com.example.editor") {
        SimApplications& applications = desktop.applications();
        applications.moveWindow(*applications.application(running.processIdentifier).windows.data(),
                                {{5, 5}, {100, 100}});
      }
    }
  };
  moveEditorAway();
  EXPECT_EQ(runJson("wake\nwait 1.1\nfrontmost com.example.editor\nframe"),
            nlohmann::json({5, 5, 100, 100}));
  moveEditorAway();
  EXPECT_EQ(runJson("wake\nwait 1.3\nfrontmost com.example.editor\nframe"),
            nlohmann::json({0, 900, 960, 1000}));
  moveEditorAway();
  EXPECT_EQ(runJson("screens-changed\nwait 0.9\nfrontmost com.example.editor\nframe"),
            nlohmann::json({0, 900, 960, 1000}));
}

TEST_F(WindowCommandsTest, RefusedAttributesAndEmptyScreenListsFailQuietly) {
  run("screens\nset autoSnapMouseDragEnabled false\nfrontmost com.example.editor\n"
      "window 1 2 300 300\nlog\npress ctrl+cmd+left\n");
  EXPECT_EQ(runJson("log"), nlohmann::json({"Quillon snap: no focused window / screen"}));
  run("screens 0,0,1440,900\nax-refuse AXFocusedWindow\nax-refuse AXWindows\n"
      "press ctrl+cmd+left\n");
  // Made while no display was connected, the window keeps its place on the
  // window server: 900 points higher once the primary display is back.
  EXPECT_EQ(runJson("frame"), nlohmann::json({1, 902, 300, 300}));
  EXPECT_EQ(runJson("defaults com.example.nothing key"), nullptr);
}

TEST_F(WindowCommandsTest, MalformedCommandsPrintOneErrorLine) {
  for (const auto& line :
       run("screens 0,0,1440\nscreens 0,0,-1,10\nscreens 0,0,10,10/1,2\nwindow 1 2 3\n"
           "window 1 2 nan 4\nlaunch\nlaunch a -1\nlaunch a 1 2\ndefaults onlydomain\n"
           "ax-refuse\nwindow 1 2 3 4\nframe now\n")) {
    EXPECT_EQ(line.rfind("error:", 0), 0u) << line;
  }
  EXPECT_EQ(run("launch com.example.a\nlaunch com.example.a\n").size(), 1u);
}

} // namespace
} // namespace quillon
