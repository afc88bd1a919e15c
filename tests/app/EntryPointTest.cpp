#include "app/EntryPoint.h"

#include "app/AppDelegate.h"
#include "platform/shared/PropertyListCodec.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimDesktop.h"
#include "webapp/UrlSyntax.h"
#include "webapp/WebAppDelegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quillon {
namespace {

// A bundle on disk at <folder>/Name.app with the given Info.plist contents.
class BundleOnDisk {
public:
  explicit BundleOnDisk(std::optional<std::string> infoPlistBytes) {
    const auto contents = folder_.path() / "Name.app" / "Contents";
    std::filesystem::create_directories(contents / "MacOS");
    if (infoPlistBytes) {
      std::ofstream(contents / "Info.plist", std::ios::binary) << *infoPlistBytes;
    }
    executable_ = contents / "MacOS" / "Name";
  }
  static BundleOnDisk withInfo(PropertyDictionary info) {
    return BundleOnDisk(serializePropertyList(PropertyValue(std::move(info))));
  }
  const std::filesystem::path& executable() const { return executable_; }

private:
  TemporaryDirectory folder_;
  std::filesystem::path executable_;
};

struct ProcessRun {
  int status;
  std::string output;
};

ProcessRun runIn(SimDesktop& desktop, std::vector<std::string> arguments,
                 const SessionFacts& session = {}) {
  std::ostringstream out;
  const int status = runProcess(arguments, desktop.platform(), out, session);
  return {status, out.str()};
}

struct Answer {
  std::optional<int> status;
  std::string out;
  std::string err;
};

Answer answer(std::vector<std::string> arguments) {
  std::ostringstream out;
  std::ostringstream err;
  const auto status = answerCommandLine(parseCommandLine(arguments), out, err);
  return {status, out.str(), err.str()};
}

std::string usage() {
  std::ostringstream out;
  printUsage(out);
  return out.str();
}

TEST(CommandLineTest, RunsOnlyWithNoArgumentsOrTheSimulateMode) {
  EXPECT_EQ(parseCommandLine(std::vector<std::string>{}).request, CommandLineRequest::RunDesktop);
  EXPECT_EQ(parseCommandLine(std::vector<std::string>{"quillon"}).request,
            CommandLineRequest::RunDesktop);

  // Whatever follows the mode is the simulation's to judge, options included.
  const auto simulate =
      parseCommandLine(std::vector<std::string>{"quillon", "--simulate", "--help", "x"});
  EXPECT_EQ(simulate.request, CommandLineRequest::Simulate);
  EXPECT_EQ(simulate.simulateArguments, (std::vector<std::string>{"--help", "x"}));
  EXPECT_TRUE(parseCommandLine(std::vector<std::string>{"quillon", "--simulate"})
                  .simulateArguments.empty());

  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"quillon"}, {"quillon", "--simulate"}, {"quillon", "--simulate", "a", "b"}}) {
    const Answer run = answer(arguments);
    EXPECT_FALSE(run.status);
    EXPECT_EQ(run.out + run.err, "");
  }
}

TEST(CommandLineTest, HelpAndVersionAnswerOnStandardOutput) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"quillon", "--help"}, {"quillon", "-h"}, {"quillon", "--bogus", "--help"}}) {
    const Answer help = answer(arguments);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, usage());
    EXPECT_EQ(help.err, "");
  }
  for (const std::string_view needed : {"--simulate [FILE]", "--tcc-check-screen", "--version",
                                        "$XDG_CONFIG_HOME/quillon/", "standard error", "Wayland"}) {
    EXPECT_NE(usage().find(needed), std::string::npos) << needed;
  }

  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"quillon", "--version"}, {"quillon", "--version", "--version"}}) {
    const Answer version = answer(arguments);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quillon " QUILLON_VERSION "\n");
    EXPECT_EQ(version.err, "");
  }
}

TEST(CommandLineTest, AnythingElseIsOneLineAndTheUsageOnStandardError) {
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const std::vector<Case> cases{
      {{"quillon", "--bogus"}, "quillon: unrecognized option '--bogus'"},
      {{"quillon", "--HELP"}, "quillon: unrecognized option '--HELP'"},
      {{"quillon", "-v"}, "quillon: unrecognized option '-v'"},
      {{"quillon", "--version", "extra"}, "quillon: unexpected argument 'extra'"},
      // The mode is only the first argument: later, it is a stray word.
      {{"quillon", "file.qsim", "--simulate"}, "quillon: unexpected argument 'file.qsim'"},
      {{"quillon", "-"}, "quillon: unexpected argument '-'"},
      {{"quillon", ""}, "quillon: unexpected argument ''"},
  };
  for (const Case& testCase : cases) {
    const Answer bad = answer(testCase.arguments);
    EXPECT_EQ(bad.status, UsageErrorStatus);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, testCase.line + "\n" + usage());
  }
}

// The delegate is kept alive here: the simulated run returns at once, and the
// notice on screen comes from the main queue after the launch.
TEST(EntryPointTest, WaylandSessionIsToldOnceAfterTheLaunch) {
  for (const bool wayland : {true, false}) {
    SimDesktop desktop;
    const auto delegate =
        makeDelegate(ProcessMode::MenuBar, desktop.platform(), SessionFacts{.wayland = wayland});
    desktop.application().run(*delegate);
    desktop.advance(Duration{0.5});
    const auto lines = desktop.log().lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find("Quillon: launched"), std::string::npos)
        << "the launch sequence keeps its order";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(WaylandLogLine)), wayland ? 1 : 0);
    EXPECT_EQ(desktop.userInterface().takeHudMessages(),
              wayland ? std::vector<std::string>{std::string(WaylandMessage)}
                      : std::vector<std::string>{});
  }

  // A web app is a window of its own; the menu bar's reach is not its concern.
  const auto bundle = BundleOnDisk::withInfo({{"QuillonWebAppURL", "https://example.com"}});
  SimDesktop webApp(SimDesktop::Options{.executablePath = bundle.executable()});
  runIn(webApp, {"Name"}, SessionFacts{.wayland = true});
  EXPECT_FALSE(webApp.log().contains(WaylandLogLine));
}

TEST(EntryPointTest, ProbeArgumentAnywhereAnswersAndCreatesNothing) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"quillon", "--tcc-check-screen"},
           {"quillon", "--simulate", "x", "--tcc-check-screen", "--tcc-check-screen"},
           {"--tcc-check-screen"}}) {
    for (const bool granted : {true, false}) {
      SimDesktop desktop;
      desktop.permissions().setScreenCaptureAccess(granted);
      const ProcessRun run = runIn(desktop, arguments);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.output, granted ? "YES\n" : "NO\n");
      EXPECT_FALSE(desktop.application().hasLaunched());
      EXPECT_FALSE(desktop.application().activationPolicy());
      EXPECT_TRUE(desktop.log().lines().empty());
    }
  }
}

TEST(EntryPointTest, NearMissesOfTheProbeArgumentRunTheMenuBar) {
  SimDesktop desktop;
  const ProcessRun run =
      runIn(desktop, {"quillon", "--tcc-check-screen=1", "--TCC-CHECK-SCREEN", "tcc-check-screen"});
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(desktop.application().activationPolicy(), ActivationPolicy::Accessory);
  EXPECT_TRUE(desktop.log().contains("Quillon: launched, pid=4242, accessibility=true"));
}

TEST(EntryPointTest, OnlyATextStartAddressSelectsWebAppMode) {
  struct Case {
    std::optional<std::string> infoPlist;
    ProcessMode mode;
  };
  const std::vector<Case> cases{
      {serializePropertyList(PropertyDictionary{{"QuillonWebAppURL", "https://example.com"}}),
       ProcessMode::WebApp},
      // The value is not judged here: any text means web-app mode.
      {serializePropertyList(PropertyDictionary{{"QuillonWebAppURL", "not a url"}}),
       ProcessMode::WebApp},
      {serializePropertyList(PropertyDictionary{{"QuillonWebAppURL", 42}}), ProcessMode::MenuBar},
      {serializePropertyList(PropertyDictionary{{"QuillonWebAppURL", PropertyArray{"x"}}}),
       ProcessMode::MenuBar},
      {serializePropertyList(PropertyDictionary{{"CFBundleName", "Name"}}), ProcessMode::MenuBar},
      {serializePropertyList(PropertyArray{"QuillonWebAppURL"}), ProcessMode::MenuBar},
      {std::string("<?xml version=\"1.0\"?><plist><dict><key>QuillonWebAppURL</key>"),
       ProcessMode::MenuBar},
      {std::string("\x00\x01garbage", 9), ProcessMode::MenuBar},
      {std::nullopt, ProcessMode::MenuBar},
  };
  for (const Case& testCase : cases) {
    const BundleOnDisk bundle(testCase.infoPlist);
    SimDesktop desktop(SimDesktop::Options{.executablePath = bundle.executable()});
    EXPECT_EQ(
        selectProcessMode(std::vector<std::string>{"Name"}, desktop.bundle().infoDictionary()),
        testCase.mode)
        << testCase.infoPlist.value_or("(no Info.plist)");
  }
}

TEST(EntryPointTest, UnreadableInfoPlistIsLoggedAndRunsTheMenuBar) {
  const BundleOnDisk bundle(std::string("{ definitely not a plist"));
  SimDesktop desktop(SimDesktop::Options{.executablePath = bundle.executable()});
  runIn(desktop, {bundle.executable().string()});
  EXPECT_EQ(desktop.application().activationPolicy(), ActivationPolicy::Accessory);
  ASSERT_FALSE(desktop.log().lines().empty());
  EXPECT_NE(desktop.log().lines().front().find("Info.plist"), std::string::npos);
  EXPECT_TRUE(desktop.log().contains("Quillon: event tap started"));
}

TEST(EntryPointTest, ExecutableOutsideAnAppBundleIsItsOwnFoldersBundle) {
  SimDesktop desktop(SimDesktop::Options{.executablePath = "/usr/local/bin/quillon"});
  EXPECT_EQ(desktop.bundle().bundlePath(), "/usr/local/bin");
  EXPECT_FALSE(desktop.bundle().infoDictionary());
  EXPECT_EQ(FileBundle::appBundleContaining("/A.app/Contents/MacOS/A"), "/A.app");
  EXPECT_FALSE(FileBundle::appBundleContaining("/A.app/Contents/Other/A"));
  EXPECT_FALSE(FileBundle::appBundleContaining("/A/Contents/MacOS/A"));
}

TEST(EntryPointTest, WebAppWithUsableAddressRunsAsARegularApplication) {
  const auto bundle =
      BundleOnDisk::withInfo({{"QuillonWebAppURL", "https://mail.example.com/inbox?x=%20"},
                              {"CFBundleIdentifier", "com.quillon.webapp.mail"}});
  SimDesktop desktop(SimDesktop::Options{.executablePath = bundle.executable()});
  runIn(desktop, {"Mail"});
  EXPECT_EQ(desktop.application().activationPolicy(), ActivationPolicy::Regular);
  EXPECT_FALSE(desktop.application().isTerminated());
  EXPECT_EQ(desktop.eventTaps().installedTapCount(), 0u) << "no menu-bar service starts";
}

TEST(EntryPointTest, WebAppWithoutUsableAddressExits) {
  for (const char* url : {"", "has spaces", "https://bad%zzescape", "https://x/%2"}) {
    const auto bundle = BundleOnDisk::withInfo({{"QuillonWebAppURL", url}});
    SimDesktop desktop(SimDesktop::Options{.executablePath = bundle.executable()});
    runIn(desktop, {"Name"});
    EXPECT_EQ(
        desktop.log().lines(),
        std::vector<std::string>{"Quillon web-app: no QuillonWebAppURL in Info.plist — exiting"})
        << url;
    EXPECT_TRUE(desktop.application().isTerminated());
  }
}

TEST(UrlSyntaxTest, AcceptsWellFormedReferencesOnly) {
  EXPECT_TRUE(isParseableUrl("https://example.com/a/b?c=d&e=%2F#frag"));
  EXPECT_TRUE(isParseableUrl("http://[::1]:8080/"));
  EXPECT_TRUE(isParseableUrl("example.com"));
  EXPECT_FALSE(isParseableUrl(""));
  EXPECT_FALSE(isParseableUrl("https://exa mple.com"));
  EXPECT_FALSE(isParseableUrl("https://example.com/\xD0\xBF"));
  EXPECT_FALSE(isParseableUrl("https://example.com/<script>"));
  EXPECT_FALSE(isParseableUrl("%"));
  EXPECT_FALSE(isParseableUrl("%4"));
  EXPECT_FALSE(isParseableUrl("%4g"));
}

} // namespace
} // namespace quillon
