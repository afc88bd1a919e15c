// Dictation started with the user's own command where the desktop has no
// dictation of its own, and greyed with the reason where nothing can start it.

#include "util/DictationLauncher.h"

#include "app/AppDelegate.h"
#include "core/NotificationCenter.h"
#include "core/Settings.h"
#include "platform/KeyCodes.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimDesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quillon {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::string_view noDictation = "no dictation here";
constexpr std::string_view domain = AppDelegate::FallbackBundleIdentifier;

TEST(DictationCommandWordsTest, SplitsAsAShellDoesWithoutExpandingAnything) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(DictationLauncher::commandWords("  stt   --lang ru\t--once "),
            (Words{"stt", "--lang", "ru", "--once"}));
  EXPECT_EQ(DictationLauncher::commandWords(R"(stt 'two words' "say \"hi\"" a\ b $HOME)"),
            (Words{"stt", "two words", R"(say "hi")", "a b", "$HOME"}));
  EXPECT_EQ(DictationLauncher::commandWords("stt ''"), (Words{"stt", ""}));
  EXPECT_FALSE(DictationLauncher::commandWords("stt 'open"));
  EXPECT_FALSE(DictationLauncher::commandWords("   "));
}

class DictationLauncherTest : public ::testing::Test {
protected:
  DictationLauncherTest() {
    desktop.liveServices().markNotLive(Capability::dictation, std::string(noDictation));
  }

  // An executable file in the search path's folder, which the simulated
  // desktop runs as a tool.
  std::string installTool(const std::string& name) {
    const std::filesystem::path path = tools.path() / name;
    std::ofstream(path) << "#!/bin/sh\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    desktop.processes().registerTool(
        path.string(), [](const std::vector<std::string>&) { return SimProcesses::ToolResult{}; });
    return path.string();
  }

  DictationLauncher makeLauncher() {
    return DictationLauncher({desktop.dictation(), desktop.processes(), desktop.runLoop(), settings,
                              desktop.liveServices(), desktop.log(),
                              "relative:" + tools.path().string()});
  }

  SimDesktop desktop;
  TemporaryDirectory tools{"quillon-dictation-tools"};
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), std::string(domain)), notifications};
};

TEST_F(DictationLauncherTest, TheCommandRunsWithItsArgumentsAndTheLogNamesOnlyTheProgram) {
  const std::string tool = installTool("stt-tool");
  settings.setDictationCommand("stt-tool --lang 'ru en' --secret-word");
  DictationLauncher launcher = makeLauncher();
  EXPECT_FALSE(launcher.whyUnavailable());
  launcher.trigger();
  ASSERT_EQ(desktop.processes().spawns().size(), 1u);
  EXPECT_EQ(desktop.processes().spawns()[0].executable, tool);
  EXPECT_THAT(desktop.processes().spawns()[0].arguments,
              ElementsAre("--lang", "ru en", "--secret-word"));
  const auto lines = desktop.log().takeNewLines();
  EXPECT_THAT(lines, ElementsAre("Quillon dictation: trigger requested",
                                 "Quillon dictation: started stt-tool"));
  // The system's own dictation is not pressed as well.
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());

  // Looked up once: a tool removed from the folder afterwards is still the
  // one run, and a failing run says how it ended without its arguments.
  std::filesystem::remove(tool);
  desktop.processes().scriptNextResult(tool, {.exitStatus = 3});
  launcher.trigger();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.processes().spawns().size(), 2u);
  EXPECT_THAT(desktop.log().takeNewLines(),
              Contains("Quillon dictation: stt-tool ended with status 3"));
}

TEST_F(DictationLauncherTest, ACommandThatCannotRunSaysWhyAndRunsNothing) {
  DictationLauncher launcher = makeLauncher();
  for (const std::string command : {"missing-tool --x", "./stt-tool", "stt 'open quote"}) {
    settings.setDictationCommand(command);
    launcher.trigger();
  }
  EXPECT_TRUE(desktop.processes().spawns().empty());
  const auto lines = desktop.log().takeNewLines();
  EXPECT_THAT(lines, Contains(HasSubstr("names missing-tool, which is no executable program")));
  EXPECT_THAT(lines, Contains(HasSubstr("names stt-tool, which is no executable program")));
  EXPECT_THAT(lines, Contains("Quillon dictation: dictationCommand has a quote left open; "
                              "nothing run"));
  for (const std::string& line : lines) {
    EXPECT_THAT(line, Not(HasSubstr("--x")));
  }
}

class DictationAppTest : public DictationLauncherTest {
protected:
  void launch() {
    app = std::make_unique<AppDelegate>(desktop.platform());
    desktop.application().run(*app);
    desktop.runUntilIdle();
  }

  std::vector<std::string> dictationLines() {
    std::vector<std::string> found;
    for (const MenuItem& item : desktop.userInterface().statusItem()->menu) {
      for (const MenuItem& line : item.submenu) {
        if (line.title.find("dictation") != std::string::npos) {
          found.push_back(line.title);
        }
      }
    }
    return found;
  }

  // Whether ⌃⌘H reached the application rather than starting anything.
  bool chordReachesApplication() {
    desktop.textField().takeDeliveredEvents();
    desktop.keyboard().keyDown(keycode::Control);
    desktop.keyboard().keyDown(keycode::Command);
    desktop.keyboard().tap(keycode::H);
    desktop.keyboard().keyUp(keycode::Command);
    desktop.keyboard().keyUp(keycode::Control);
    desktop.advance(Duration(0.5));
    for (const DeliveredEvent& event : desktop.textField().takeDeliveredEvents()) {
      if (event.type == EventType::KeyDown && event.keyCode == keycode::H) {
        return true;
      }
    }
    return false;
  }

  std::unique_ptr<AppDelegate> app;
};

TEST_F(DictationAppTest, WithNoCommandAndNoSystemDictationTheLinesSayWhyAndTheChordPasses) {
  launch();
  const auto lines = dictationLines();
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    EXPECT_THAT(line, HasSubstr(" — unavailable: " + std::string(noDictation) +
                                "; set dictationCommand to a speech-to-text command"));
  }
  EXPECT_THAT(desktop.log().lines(), Contains(HasSubstr("Quillon: dictation stays off: ")));
  EXPECT_TRUE(chordReachesApplication());
  for (const auto& spawn : desktop.processes().spawns()) {
    EXPECT_NE(spawn.executable, SimDictationShortcut::settingsTool);
  }
}

TEST_F(DictationAppTest, WithACommandSetTheHotkeyRunsItAndTheLinesStayPlain) {
  const std::string tool = installTool("stt-tool");
  settings.setDictationCommand(tool + " --begin");
  launch();
  for (const std::string& line : dictationLines()) {
    EXPECT_THAT(line, Not(HasSubstr("unavailable")));
  }
  EXPECT_THAT(desktop.log().lines(), Not(Contains(HasSubstr("dictation stays off"))));
  EXPECT_FALSE(chordReachesApplication());
  EXPECT_EQ(desktop.processes().lastArguments(tool), std::vector<std::string>{"--begin"});
}

} // namespace
} // namespace quillon
