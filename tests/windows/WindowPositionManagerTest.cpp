#include "windows/WindowPositionManager.h"

#include "core/NotificationCenter.h"
#include "platform/sim/SimDesktop.h"
#include "windows/RectDescription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view ownDomain = "com.quillon.Quillon";
constexpr std::string_view positionsKey = WindowPositionManager::PositionsDefaultsKey;

PropertyValue entry(double x, double y, double width, double height) {
  return PropertyArray{x, y, width, height};
}

class WindowPositionManagerTest : public ::testing::Test {
protected:
  WindowPositionManagerTest() {
    setSwitches(true, true);
    desktop.log().takeNewLines();
  }

  void setSwitches(bool autoSnap, bool restore) {
    settings.set(autoSnap, Settings::Key::autoSnapMouseDragEnabled);
    settings.set(restore, Settings::Key::restoreWindowPositionsEnabled);
  }
  std::uint32_t frontWindow(const std::string& bundleIdentifier, const Rect& frame) {
    const int processIdentifier = desktop.bringToFront(bundleIdentifier);
    return desktop.applications().openWindow(processIdentifier, frame);
  }
  Rect frameOf(std::uint32_t window) {
    return desktop.applications().frame(*desktop.applications().window(window));
  }
  void drag(std::uint32_t window, const Rect& frame) {
    desktop.applications().moveWindow(*desktop.applications().window(window), frame);
  }
  void storePositions(PropertyValue value) {
    desktop.defaults().set(ownDomain, positionsKey, std::move(value));
  }
  std::optional<PropertyValue> storedPositions() {
    return desktop.defaults().object(ownDomain, positionsKey);
  }
  std::optional<PropertyValue> storedEntry(const std::string& bundleIdentifier) {
    const auto stored = storedPositions();
    const PropertyDictionary* positions = stored ? stored->get<PropertyDictionary>() : nullptr;
    if (positions == nullptr || !positions->contains(bundleIdentifier)) {
      return std::nullopt;
    }
    return positions->find(bundleIdentifier)->second;
  }
  // A running application that is not frontmost, so polls leave it alone.
  RunningApplication launchInBackground(const std::string& bundleIdentifier,
                                        std::optional<Duration> firstWindowAfter, int pid = 900) {
    RunningApplication application;
    application.processIdentifier = pid;
    application.bundleIdentifier = bundleIdentifier;
    if (firstWindowAfter) {
      desktop.applications().openWindowAfter(pid, *firstWindowAfter, {{0, 0}, {500, 400}});
    }
    desktop.workspace().launch(application);
    return application;
  }
  std::size_t restoreTries(int pid = 900) {
    const auto& writes = desktop.applications().application(pid).writes;
    return static_cast<std::size_t>(
        std::count(writes.begin(), writes.end(), "AXManualAccessibility"));
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), std::string(ownDomain)), notifications};
  WindowSnapper snapper{desktop.accessibility(), desktop.workspace(), desktop.screens(),
                        desktop.log()};
  WindowPositionManager manager{{
      .accessibility = desktop.accessibility(),
      .workspace = desktop.workspace(),
      .screens = desktop.screens(),
      .mainQueue = desktop.runLoop(),
      .clock = desktop.clock(),
      .defaults = desktop.defaults(),
      .processes = desktop.processes(),
      .log = desktop.log(),
      .settings = settings,
      .snapper = snapper,
      .ownDomain = std::string(ownDomain),
      .ownBundleIdentifier = std::string(ownDomain),
  }};
};

TEST(RectDescriptionTest, NumbersKeepOneDigitAfterThePointAndNoMore) {
  EXPECT_EQ(describeRect({{0, 25}, {720.5, 875}}), "(0.0, 25.0, 720.5, 875.0)");
  EXPECT_EQ(describeRect({{-280, -162.5}, {0.1, 1e-7}}), "(-280.0, -162.5, 0.1, 1e-07)");
}

TEST(SnapZoneTest, TheFirstZoneWithinFortyPointsDecidesAndAnExactZoneIsLeftAlone) {
  const ScreenInfo screen{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}};
  EXPECT_EQ(WindowPositionManager::nearestSnapZone({{10, 5}, {700, 860}}, screen),
            (Rect{{0, 0}, {720, 875}}));
  EXPECT_FALSE(WindowPositionManager::nearestSnapZone({{0, 0}, {720, 875}}, screen));
  EXPECT_FALSE(WindowPositionManager::nearestSnapZone({{100, 100}, {1300, 700}}, screen));
  EXPECT_EQ(WindowPositionManager::nearestSnapZone({{40, 40}, {1400, 835}}, screen),
            (Rect{{0, 0}, {1440, 875}}));
  EXPECT_FALSE(WindowPositionManager::nearestSnapZone({{40.5, 0}, {1440, 875}}, screen));
  // Exactly on the left half, which comes first, even though it is also
  // within reach of the bottom-left quarter's x and width.
  EXPECT_EQ(WindowPositionManager::nearestSnapZone({{700, 420}, {730, 450}}, screen),
            (Rect{{720, 437.5}, {720, 437.5}}));
}

TEST_F(WindowPositionManagerTest, ASettledDragNearAZoneSnapsOntoItThenSettlesThereOnce) {
  const std::uint32_t window = frontWindow("com.example.editor", {{10, 5}, {700, 860}});
  manager.start();
  desktop.advance(Duration(0.25));
  EXPECT_EQ(frameOf(window), (Rect{{10, 5}, {700, 860}}));
  desktop.advance(Duration(0.25));
  EXPECT_EQ(frameOf(window), (Rect{{0, 0}, {720, 875}}));
  EXPECT_EQ(storedEntry("com.example.editor"), entry(0, 0, 720, 875));

  desktop.advance(Duration(3));
  EXPECT_EQ(desktop.log().takeNewLines(),
            (std::vector<std::string>{
                "Quillon WindowPositionManager: started",
                "Quillon WindowPositionManager: auto-snap dragged (10.0, 5.0, 700.0, 860.0) → "
                "(0.0, 0.0, 720.0, 875.0)"}));
}

TEST_F(WindowPositionManagerTest, FramesAwayFromZonesOrExactlyOnOneAreOnlySaved) {
  const std::uint32_t window = frontWindow("com.example.editor", {{100, 100}, {1300, 700}});
  manager.start();
  desktop.advance(Duration(0.5));
  EXPECT_EQ(storedEntry("com.example.editor"), entry(100, 100, 1300, 700));
  drag(window, {{0, 0}, {720, 875}});
  desktop.advance(Duration(0.5));
  EXPECT_EQ(storedEntry("com.example.editor"), entry(0, 0, 720, 875));
  EXPECT_EQ(frameOf(window), (Rect{{0, 0}, {720, 875}}));

  // Without restoring, a frame that needs no snap is not saved.
  setSwitches(true, false);
  drag(window, {{200, 200}, {500, 500}});
  desktop.advance(Duration(1));
  EXPECT_EQ(storedEntry("com.example.editor"), entry(0, 0, 720, 875));
}

TEST_F(WindowPositionManagerTest, AFrameThatKeepsChangingIsHandledTwoPollsAfterItStops) {
  const std::uint32_t window = frontWindow("com.example.editor", {{300, 300}, {400, 400}});
  manager.start();
  for (int poll = 0; poll < 12; ++poll) {
    drag(window, {{300.0 + poll * 3, 300}, {400, 400}});
    desktop.advance(Duration(0.25));
  }
  EXPECT_FALSE(storedPositions());
  desktop.advance(Duration(0.25));
  EXPECT_EQ(storedEntry("com.example.editor"), entry(333, 300, 400, 400));
}

TEST_F(WindowPositionManagerTest, AnotherFrontmostApplicationIsSavedOnItsSecondPollUnmoved) {
  frontWindow("com.example.editor", {{100, 100}, {500, 500}});
  manager.start();
  desktop.advance(Duration(0.5));
  frontWindow("com.example.viewer", {{150, 150}, {500, 500}});
  desktop.advance(Duration(0.25));
  EXPECT_FALSE(storedEntry("com.example.viewer"));
  desktop.advance(Duration(0.25));
  EXPECT_EQ(storedEntry("com.example.viewer"), entry(150, 150, 500, 500));
}

TEST_F(WindowPositionManagerTest, PollsDoNothingWithBothSwitchesOffOrThisProgramInFront) {
  const std::uint32_t window = frontWindow(std::string(ownDomain), {{10, 5}, {700, 860}});
  manager.start();
  desktop.advance(Duration(1));
  EXPECT_EQ(frameOf(window), (Rect{{10, 5}, {700, 860}}));

  setSwitches(false, false);
  desktop.bringToFront("com.example.windowless");
  desktop.advance(Duration(1));
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon WindowPositionManager: started"});

  // A windowless application is reported, once however many polls see it.
  setSwitches(false, true);
  desktop.advance(Duration(0.5));
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      std::vector<std::string>{"Quillon snap: app exposes neither AXFocusedWindow nor AXWindows"});
}

TEST_F(WindowPositionManagerTest, AnApplicationWithoutIdentifierIsSnappedButNeverSaved) {
  RunningApplication anonymous;
  anonymous.processIdentifier = 920;
  desktop.workspace().launch(anonymous);
  desktop.workspace().setFrontmost(920);
  const std::uint32_t window = desktop.applications().openWindow(920, {{10, 5}, {700, 860}});
  manager.start();
  desktop.advance(Duration(2));
  EXPECT_EQ(frameOf(window), (Rect{{0, 0}, {720, 875}}));
  EXPECT_FALSE(storedPositions());
}

TEST_F(WindowPositionManagerTest, StartAndStopAreIdempotentAndStopEndsPollingAndObserving) {
  manager.start();
  manager.start();
  const std::uint32_t window = frontWindow("com.example.editor", {{10, 5}, {700, 860}});
  manager.stop();
  manager.stop();
  desktop.workspace().postWake();
  desktop.screens().postParametersChanged();
  desktop.advance(Duration(2));
  EXPECT_EQ(frameOf(window), (Rect{{10, 5}, {700, 860}}));
  EXPECT_EQ(desktop.log().takeNewLines(),
            (std::vector<std::string>{"Quillon WindowPositionManager: started",
                                      "Quillon WindowPositionManager: stopped"}));
}

TEST_F(WindowPositionManagerTest, LaunchRestoreTriesEveryFourTenthsUntilTheWindowAppears) {
  storePositions(PropertyDictionary{{"com.example.late", entry(50, 60, 700, 500)}});
  manager.start();
  desktop.log().takeNewLines();
  launchInBackground("com.example.late", Duration(2.0));

  desktop.advance(Duration(0.55));
  EXPECT_EQ(restoreTries(), 0u);
  desktop.advance(Duration(0.1));
  EXPECT_EQ(restoreTries(), 1u);
  desktop.advance(Duration(1.5)); // 2.15 s: tries at 0.6, 1.0, 1.4, 1.8
  EXPECT_EQ(restoreTries(), 4u);
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
  desktop.advance(Duration(0.1));
  EXPECT_EQ(restoreTries(), 5u);
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{
                "Quillon WindowPositionManager: restore com.example.late → (50.0, 60.0, 700.0, "
                "500.0)"});
  const SimWindow* window = desktop.applications().focusedWindow(900);
  EXPECT_EQ(desktop.applications().frame(*window), (Rect{{50, 60}, {700, 500}}));
  EXPECT_EQ(desktop.accessibility().messagingTimeout(900), Duration(0.8));

  // Once per run: a relaunch is left alone.
  desktop.workspace().quit(900);
  launchInBackground("com.example.late", Duration(0), 901);
  desktop.advance(Duration(5));
  EXPECT_EQ(restoreTries(901), 0u);
}

TEST_F(WindowPositionManagerTest, AWindowThatNeverAppearsGetsEightSilentTries) {
  storePositions(PropertyDictionary{{"com.example.never", entry(50, 60, 700, 500)}});
  manager.start();
  desktop.log().takeNewLines();
  launchInBackground("com.example.never", std::nullopt);
  desktop.advance(Duration(3.35));
  EXPECT_EQ(restoreTries(), 7u);
  desktop.advance(Duration(0.1));
  EXPECT_EQ(restoreTries(), 8u);
  desktop.advance(Duration(1));
  desktop.applications().openWindow(900, {{0, 0}, {100, 100}});
  desktop.advance(Duration(5));
  EXPECT_EQ(restoreTries(), 8u);
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
}

TEST_F(WindowPositionManagerTest, LaunchRestoreNeedsTheSwitchAnEntryAndARunningManager) {
  storePositions(PropertyDictionary{{"com.example.late", entry(50, 60, 700, 500)}});
  manager.start();
  setSwitches(true, false);
  launchInBackground("com.example.late", Duration(0));
  launchInBackground("com.example.unknown", Duration(0), 901);
  desktop.advance(Duration(4));
  EXPECT_EQ(restoreTries(), 0u);
  EXPECT_EQ(restoreTries(901), 0u);

  setSwitches(true, true);
  launchInBackground("com.example.late", Duration(0), 902);
  manager.stop();
  desktop.advance(Duration(4));
  EXPECT_EQ(restoreTries(902), 0u);

  // No bundle identifier: nothing to look up.
  manager.start();
  RunningApplication anonymous;
  anonymous.processIdentifier = 903;
  desktop.applications().openWindow(903, {{0, 0}, {10, 10}});
  desktop.workspace().launch(anonymous);
  desktop.advance(Duration(4));
  EXPECT_EQ(restoreTries(903), 0u);
}

TEST_F(WindowPositionManagerTest, WakeAndDisplayChangesReapplyEveryRegularApplicationsFrame) {
  storePositions(PropertyDictionary{{"com.example.a", entry(10, 20, 300, 400)},
                                    {"com.example.agent", entry(0, 0, 10, 10)},
                                    {"com.example.short", PropertyArray{1.0, 2.0, 3.0}}});
  launchInBackground("com.example.a", Duration(0), 910);
  auto agent = launchInBackground("com.example.agent", Duration(0), 911);
  agent.activationPolicy = ActivationPolicy::Accessory;
  desktop.workspace().launch(agent);
  launchInBackground("com.example.short", Duration(0), 912);
  manager.start();
  desktop.advance(Duration(0.1));
  desktop.log().takeNewLines();

  desktop.workspace().postWake();
  desktop.advance(Duration(1.15));
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{
                "Quillon WindowPositionManager: wake from sleep → re-applying saved positions"});
  desktop.advance(Duration(0.1));
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon WindowPositionManager: post-wake restore "
                                     "com.example.a → (10.0, 20.0, 300.0, 400.0)"});
  EXPECT_EQ(desktop.applications().frame(*desktop.applications().focusedWindow(910)),
            (Rect{{10, 20}, {300, 400}}));
  EXPECT_EQ(restoreTries(911), 0u);
  EXPECT_EQ(desktop.accessibility().messagingTimeout(910), Duration(0.6));

  desktop.screens().postParametersChanged();
  desktop.advance(Duration(0.75));
  EXPECT_EQ(desktop.log().takeNewLines().size(), 1u);
  desktop.advance(Duration(0.1));
  EXPECT_EQ(desktop.log().takeNewLines().size(), 1u);
}

TEST_F(WindowPositionManagerTest, AFrameTheSystemMovesBeforeTheReapplyIsNotRemembered) {
  const std::vector<ScreenInfo> twoScreens{{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}},
                                           {{{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 1080}}}};
  desktop.rearrangeScreens(twoScreens);
  const std::uint32_t window = frontWindow("com.example.a", {{1600, 100}, {600, 400}});
  manager.start();
  desktop.advance(Duration(1));
  ASSERT_EQ(manager.savedFrame("com.example.a"), (Rect{{1600, 100}, {600, 400}}));

  // The second display goes: the system brings the window onto the first,
  // and the polls see it settle there well before the re-apply.
  desktop.rearrangeScreens({twoScreens.front()});
  EXPECT_EQ(frameOf(window), (Rect{{840, 100}, {600, 400}}));
  desktop.screens().postParametersChanged();
  desktop.advance(Duration(2));
  EXPECT_EQ(manager.savedFrame("com.example.a"), (Rect{{1600, 100}, {600, 400}}));

  desktop.rearrangeScreens(twoScreens);
  desktop.screens().postParametersChanged();
  desktop.advance(Duration(2));
  EXPECT_EQ(frameOf(window), (Rect{{1600, 100}, {600, 400}}));

  // After a wake too; and once the re-apply is over, the user's own moves
  // are remembered again.
  drag(window, {{1500, 50}, {600, 400}});
  desktop.workspace().postWake();
  desktop.advance(Duration(1));
  EXPECT_EQ(manager.savedFrame("com.example.a"), (Rect{{1600, 100}, {600, 400}}));
  desktop.advance(Duration(1));
  drag(window, {{1700, 60}, {600, 400}});
  desktop.advance(Duration(0.5));
  EXPECT_EQ(manager.savedFrame("com.example.a"), (Rect{{1700, 60}, {600, 400}}));
}

TEST_F(WindowPositionManagerTest, AnApplicationWithoutWindowsIsReportedOnceWhileItStaysSo) {
  const std::string windowless = "Quillon snap: app exposes neither AXFocusedWindow nor AXWindows";
  const auto reports = [&] {
    const auto lines = desktop.log().takeNewLines();
    return std::count(lines.begin(), lines.end(), windowless);
  };
  desktop.bringToFront("com.example.empty");
  manager.start();
  desktop.advance(Duration(3));
  EXPECT_EQ(reports(), 1);
  // Another such application, and the same one after showing a window.
  const int other = desktop.bringToFront("com.example.other");
  desktop.advance(Duration(1));
  EXPECT_EQ(reports(), 1);
  desktop.applications().openWindow(other, {{100, 100}, {500, 400}});
  desktop.advance(Duration(1));
  EXPECT_EQ(reports(), 0);
  desktop.applications().application(other).windows.clear();
  desktop.advance(Duration(1));
  EXPECT_EQ(reports(), 1);
}

TEST_F(WindowPositionManagerTest, MalformedEntriesAreIgnoredOneByOneAndKeptOnSave) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double infinity = std::numeric_limits<double>::infinity();
  storePositions(PropertyDictionary{
      {"com.example.three", PropertyArray{1.0, 2.0, 3.0}},
      {"com.example.nan", entry(nan, 0, 10, 10)},
      {"com.example.inf", entry(0, 0, infinity, 10)},
      {"com.example.text", "0 0 10 10"},
      {"com.example.whole", PropertyArray{1, 2, 3, 4}},
      {"com.example.good", entry(5, 6, 7, 8)},
      {"com.example.negative", entry(10, 10, -300, -200)},
      {"com.example.empty", entry(10, 10, 0, 0)},
      {"com.example.flat", entry(10, 10, 300, 0)},
      {"com.example.huge", entry(1e300, 10, 300, 200)},
      {"com.example.wide", entry(0, 0, 1e300, 200)},
  });
  for (const char* broken :
       {"com.example.three", "com.example.nan", "com.example.inf", "com.example.text",
        "com.example.missing", "com.example.negative", "com.example.empty", "com.example.flat",
        "com.example.huge", "com.example.wide"}) {
    EXPECT_FALSE(manager.savedFrame(broken)) << broken;
  }
  EXPECT_EQ(manager.savedFrame("com.example.whole"), (Rect{{1, 2}, {3, 4}}));
  EXPECT_EQ(manager.savedFrame("com.example.good"), (Rect{{5, 6}, {7, 8}}));

  frontWindow("com.example.three", {{100, 100}, {1300, 700}});
  manager.start();
  desktop.advance(Duration(0.5));
  EXPECT_EQ(manager.savedFrame("com.example.three"), (Rect{{100, 100}, {1300, 700}}));
  EXPECT_EQ(storedEntry("com.example.text"), PropertyValue("0 0 10 10"));
  EXPECT_EQ(manager.savedFrame("com.example.good"), (Rect{{5, 6}, {7, 8}}));
}

TEST_F(WindowPositionManagerTest, AStoredValueThatIsNoDictionaryIsReplacedByTheNextSave) {
  const std::vector<PropertyValue> unreadable{PropertyValue("positions"),
                                              PropertyValue(PropertyArray{1.0, 2.0, 3.0, 4.0})};
  const std::uint32_t window = frontWindow("com.example.editor", {{100, 100}, {1300, 700}});
  manager.start();
  double x = 100;
  for (const PropertyValue& value : unreadable) {
    storePositions(value);
    desktop.defaults().set(ownDomain, "unrelated", "kept");
    EXPECT_FALSE(manager.savedFrame("com.example.editor"));
    x += 10;
    drag(window, {{x, 100}, {1300, 700}});
    desktop.advance(Duration(0.5));
    EXPECT_EQ(storedPositions(),
              PropertyValue(PropertyDictionary{{"com.example.editor", entry(x, 100, 1300, 700)}}));
    EXPECT_EQ(desktop.defaults().object(ownDomain, "unrelated"), PropertyValue("kept"));
  }
  EXPECT_TRUE(desktop.log().contains(
      "Quillon WindowPositionManager: stored positions unreadable, replacing them"));
}

TEST_F(WindowPositionManagerTest, TileMarginsAreWrittenAndTheWindowManagerRestartedOnlyOnChange) {
  const auto killalls = [this] {
    return std::count_if(desktop.processes().spawns().begin(), desktop.processes().spawns().end(),
                         [](const auto& spawn) {
                           return spawn.executable == "/usr/bin/killall" &&
                                  spawn.arguments == std::vector<std::string>{"WindowManager"};
                         });
  };
  manager.applyTileMarginPreference(true);
  manager.applyTileMarginPreference(true);
  EXPECT_EQ(desktop.defaults().object("com.apple.WindowManager", "EnableTiledWindowMargins"),
            PropertyValue(false));
  EXPECT_EQ(killalls(), 1);
  manager.applyTileMarginPreference(false);
  EXPECT_EQ(killalls(), 2);

  desktop.defaults().set("com.apple.WindowManager", "EnableTiledWindowMargins", "yes");
  desktop.processes().removeTool("/usr/bin/killall");
  manager.applyTileMarginPreference(true);
  const auto lines = desktop.log().takeNewLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Quillon: EnableTiledWindowMargins nil → false");
  EXPECT_EQ(lines[1], "Quillon: EnableTiledWindowMargins Optional(false) → true");
  EXPECT_EQ(lines[2], "Quillon: EnableTiledWindowMargins nil → false");
  EXPECT_EQ(lines[3].rfind("Quillon: killall WindowManager failed: ", 0), 0u) << lines[3];
  EXPECT_EQ(desktop.defaults().object("com.apple.WindowManager", "EnableTiledWindowMargins"),
            PropertyValue(false));
}

} // namespace
} // namespace quillon
