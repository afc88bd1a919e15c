// Capture and keep-awake driven by script, as a newcomer would try them.
#include "capture/CaptureFiles.h"
#include "support/ScriptTest.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillon {
namespace {

using CaptureCommandsTest = ScriptTest;

using Lines = std::vector<std::string>;

TEST_F(CaptureCommandsTest, KeepAwakeFromTheScriptsPointOfView) {
  // Prepared before the launch: the system has keep-awake on already.
  run("power battery\ntool-result /usr/bin/pmset 0  SleepDisabled\\t\\t1\\n\n");
  EXPECT_FALSE(runner.hasLaunched());
  EXPECT_EQ(run("get sleepBlockerEnabled\ntool /usr/bin/pmset\n"), (Lines{"true", R"(["-g"])"}));
  run("log\n");
  EXPECT_EQ(run("lid closed\ntool /usr/bin/pmset\nlog\n"),
            (Lines{R"(["displaysleepnow"])",
                   R"(["Quillon lid: closed","Quillon: lid closed on BATTERY — macOS will force )"
                   R"(sleep regardless of keep-awake"])"}));
  EXPECT_EQ(run("password cancel\npress ctrl+cmd+s\nget sleepBlockerEnabled\npassword accept\n"
                "press ctrl+cmd+s\nget sleepBlockerEnabled\ntool /usr/bin/pmset\n"),
            (Lines{"true", "false", R"(["-b","disablesleep","0"])"}));
}

TEST_F(CaptureCommandsTest, CapturesLandInTheHomeFolder) {
  // Named in the machine's own time zone.
  const std::string shot = capturefiles::fileName("Screenshot ", desktop.clock().wallNow(), "jpg");
  const std::string recording =
      capturefiles::fileName("Recording ", desktop.clock().wallNow(), "m4a");
  run("tool-result /usr/sbin/screencapture 1\nmicrophone deny\n");
  EXPECT_EQ(
      run("press alt+shift+s\nfiles Documents/Parlando Files/screenshots\nclipboard\n"
          "press alt+shift+s\nfiles Documents/Parlando Files/screenshots\n"
          "tool /usr/sbin/screencapture\n"),
      (Lines{"[]", "null", "[\"" + shot + "\"]",
             R"(["-i","-x","-t","jpg",")" +
                 (*desktop.directories().documents() / "Parlando Files" / "screenshots" / shot)
                     .string() +
                 R"("])"}));
  EXPECT_EQ(run("press ctrl+cmd+r\nstatus-item\nmicrophone grant\npress ctrl+cmd+r\nstatus-item\n"
                "wait 2\nstatus-click left\nstatus-item\nsounds\nfiles Documents/Parlando "
                "Files/audiorec\n"),
            (Lines{R"({"title":"QL","color":"label","tooltip":null,"menuShowing":false,)"
                   R"("menuShownCount":0})",
                   R"({"title":"●","color":"systemRed","tooltip":"Recording — click to stop",)"
                   R"("menuShowing":false,"menuShownCount":0})",
                   R"({"title":"QL","color":"label","tooltip":null,"menuShowing":false,)"
                   R"("menuShownCount":0})",
                   R"(["Pop","Pop"])", "[\"" + recording + "\"]"}));
}

TEST_F(CaptureCommandsTest, AGrantOfScreenRecordingRestartsTheApplication) {
  run("screen-permission false\n");
  EXPECT_EQ(run("wait 3\ntool /bin/sh\nscreen-permission true\nwait 3\nsounds\n"
                "tool /bin/sh\n"),
            (Lines{"null", R"(["Submarine"])",
                   R"(["-c","sleep 1; /usr/bin/open '/Applications/Quillon.app'"])"}));
  run("wait 0.15\n");
  EXPECT_TRUE(desktop.application().isTerminated());
}

TEST_F(CaptureCommandsTest, MalformedArgumentsAreRefusedWithoutEffect) {
  EXPECT_EQ(run("lid ajar\npower solar\nscreen-permission maybe\nmicrophone ask\npassword 1234\n"
                "tool usr/bin/pmset\ntool-result /usr/bin/pmset many\n"
                "tool-result /no/such/tool 0\nfiles ../../etc\nfiles /etc\n"),
            (Lines{"error: lid: expected open or closed", "error: power: expected ac or battery",
                   "error: screen-permission: expected true or false",
                   "error: microphone: expected grant or deny",
                   "error: password: expected accept or cancel",
                   "error: tool: expected an absolute PATH, not \"usr/bin/pmset\"",
                   "error: tool-result: expected PATH STATUS [STDOUT-TEXT] with an absolute PATH "
                   "and a status from 0 to 255",
                   "error: tool-result: no tool at \"/no/such/tool\"",
                   "error: files: expected a folder inside the home folder, not \"../../etc\"",
                   "error: files: expected a folder inside the home folder, not \"/etc\""}));
  EXPECT_EQ(run("files Documents/none\n"), Lines{"error: files: cannot list \"Documents/none\""});
}

} // namespace
} // namespace quillon
