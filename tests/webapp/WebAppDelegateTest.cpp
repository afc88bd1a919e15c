#include "webapp/WebAppDelegate.h"

#include "platform/shared/PropertyListCodec.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.webapp.mail";

SimDesktop::Options webAppAt(const std::filesystem::path& root, const PropertyDictionary& info) {
  const auto contents = root / "Mail.app" / "Contents";
  std::filesystem::create_directories(contents / "MacOS");
  std::ofstream(contents / "Info.plist") << serializePropertyList(info).value();
  SimDesktop::Options options;
  options.executablePath = contents / "MacOS" / "Mail";
  options.defaultsRoot = root / "defaults";
  return options;
}

PropertyDictionary mailInfo() {
  return {{"QuillonWebAppURL", "https://mail.example.com/inbox"},
          {"CFBundleIdentifier", std::string(domain)},
          {"CFBundleName", "Mail"}};
}

class WebAppDelegateTest : public ::testing::Test {
protected:
  explicit WebAppDelegateTest(PropertyDictionary info = mailInfo())
      : desktop(webAppAt(folder.path(), info)) {}

  void launch() {
    delegate = std::make_unique<WebAppDelegate>(desktop.platform());
    // A fresh process each time: the simulated application launches only once.
    delegate->applicationDidFinishLaunching();
    desktop.runUntilIdle();
  }
  SimWebViewRecord& view() { return *desktop.webViews().lastView(); }
  std::optional<PropertyValue> stored(std::string_view key) {
    return desktop.defaults().object(domain, key);
  }
  std::vector<std::string> journalWith(std::string_view word) {
    std::vector<std::string> entries;
    for (const auto& entry : desktop.journal().entries()) {
      if (entry.find(word) != std::string::npos) {
        entries.push_back(entry);
      }
    }
    return entries;
  }

  TemporaryDirectory folder;
  SimDesktop desktop;
  std::unique_ptr<WebAppDelegate> delegate;
};

TEST_F(WebAppDelegateTest, TheRuleListIsReadyBeforeTheFirstLoad) {
  launch();
  EXPECT_EQ(journalWith("web view"),
            (std::vector<std::string>{"make web view", "web view add rule list QuillonAdBlock-v1",
                                      "web view load https://mail.example.com/inbox"}));
  EXPECT_EQ(desktop.webViews().store().compileCount(), 1);
  const WebViewConfiguration& configuration = view().configuration;
  EXPECT_EQ(configuration.customUserAgent, WebAppDelegate::UserAgent);
  EXPECT_TRUE(configuration.inspectable);
  EXPECT_TRUE(configuration.javaScriptCanOpenWindowsAutomatically);
  EXPECT_TRUE(configuration.elementFullscreenEnabled);
  EXPECT_EQ(configuration.frame, (Size{1200, 800}));
  const auto& window = *desktop.appWindows().lastWindow();
  EXPECT_EQ(window.title, "Mail");
  EXPECT_EQ(window.style.contentSize, (Size{1200, 800}));
  EXPECT_FALSE(window.style.releasedWhenClosed);
  EXPECT_TRUE(window.centered && window.visible && window.hasContent);

  // A second launch finds the stored list and compiles nothing.
  delegate.reset();
  launch();
  EXPECT_EQ(desktop.webViews().store().compileCount(), 1);
  EXPECT_EQ(view().ruleLists, std::vector<std::string>{"QuillonAdBlock-v1"});
}

TEST_F(WebAppDelegateTest, WithBlockingOffTheFirstLoadHasNoRulesAndTheToggleReloads) {
  desktop.defaults().set(domain, "QuillonWebAppBlockAds", false);
  launch();
  EXPECT_TRUE(view().ruleLists.empty());
  EXPECT_EQ(view().loads.size(), 1u);
  EXPECT_TRUE(desktop.appWindows().chooseMainMenuAction("toggleAdBlock"));
  EXPECT_EQ(view().ruleLists, std::vector<std::string>{"QuillonAdBlock-v1"});
  EXPECT_EQ(view().reloadCount, 1);
  EXPECT_EQ(stored("QuillonWebAppBlockAds"), PropertyValue(true));
  delegate->toggleAdBlock();
  EXPECT_TRUE(view().ruleLists.empty());
  EXPECT_EQ(view().reloadCount, 2);
}

TEST_F(WebAppDelegateTest, WithoutARuleListTheToggleOnlyStoresTheChoice) {
  desktop.webViews().setHasRuleListStore(false);
  launch();
  EXPECT_EQ(view().loads.size(), 1u);
  delegate->toggleAdBlock();
  EXPECT_EQ(stored("QuillonWebAppBlockAds"), PropertyValue(false));
  EXPECT_EQ(view().reloadCount, 0);
}

TEST_F(WebAppDelegateTest, ARuleListThatFailsToCompileLeavesThePageUnblockedAndLogged) {
  desktop.webViews().store().failNextCompile("rule 3: bad regex");
  launch();
  EXPECT_TRUE(desktop.log().contains("Quillon webapp: adblock compile failed: rule 3: bad regex"));
  EXPECT_TRUE(view().ruleLists.empty());
  EXPECT_EQ(view().loads, std::vector<std::string>{"https://mail.example.com/inbox"});
  delegate->toggleAdBlock();
  EXPECT_EQ(stored("QuillonWebAppBlockAds"), PropertyValue(false));
  EXPECT_EQ(view().reloadCount, 0);
  // The next launch compiles again and blocks as chosen.
  delegate.reset();
  desktop.defaults().set(domain, "QuillonWebAppBlockAds", true);
  launch();
  EXPECT_EQ(desktop.webViews().store().compileCount(), 2);
  EXPECT_EQ(view().ruleLists, std::vector<std::string>{"QuillonAdBlock-v1"});
}

TEST_F(WebAppDelegateTest, ZoomIsClampedStoredAndRestored) {
  desktop.defaults().set(domain, "QuillonWebAppPageZoom", 5.0);
  launch();
  EXPECT_EQ(view().pageZoom, 3.0);
  delegate->zoomIn();
  EXPECT_EQ(view().pageZoom, 3.0);
  EXPECT_EQ(stored("QuillonWebAppPageZoom"), PropertyValue(3.0));
  delegate->zoomActual();
  EXPECT_EQ(stored("QuillonWebAppPageZoom"), PropertyValue(1.0));
  for (int step = 0; step < 8; ++step) {
    delegate->zoomOut();
  }
  EXPECT_EQ(view().pageZoom, 0.5);
  EXPECT_EQ(stored("QuillonWebAppPageZoom"), PropertyValue(0.5));
  delegate->zoomIn();
  EXPECT_DOUBLE_EQ(view().pageZoom, 0.6);

  delegate.reset();
  desktop.defaults().set(domain, "QuillonWebAppPageZoom", 0.0);
  launch();
  EXPECT_EQ(view().pageZoom, 1.0);
}

TEST_F(WebAppDelegateTest, ClearingAsksFirstAndReloadsOnlyAfterClear) {
  launch();
  desktop.alerts().takeShown();
  desktop.alerts().scriptAnswer({"Cancel", std::nullopt});
  delegate->clearCookies();
  desktop.runUntilIdle();
  EXPECT_TRUE(view().dataRemovals.empty());
  EXPECT_EQ(view().reloadCount, 0);

  desktop.alerts().scriptAnswer({"Clear", std::nullopt});
  delegate->clearCookies();
  desktop.runUntilIdle();
  ASSERT_EQ(view().dataRemovals.size(), 1u);
  EXPECT_EQ(view().dataRemovals[0],
            (std::set<WebsiteDataType>{
                WebsiteDataType::Cookies, WebsiteDataType::LocalStorage,
                WebsiteDataType::SessionStorage, WebsiteDataType::IndexedDBDatabases,
                WebsiteDataType::WebSQLDatabases, WebsiteDataType::ServiceWorkerRegistrations}));
  EXPECT_EQ(view().reloadCount, 1);

  desktop.alerts().scriptAnswer({"Clear", std::nullopt});
  EXPECT_TRUE(desktop.appWindows().chooseMainMenuAction("clearBrowsingHistory"));
  desktop.runUntilIdle();
  EXPECT_EQ(view().dataRemovals.back(),
            (std::set<WebsiteDataType>{WebsiteDataType::DiskCache, WebsiteDataType::MemoryCache,
                                       WebsiteDataType::OfflineWebApplicationCache,
                                       WebsiteDataType::FetchCache}));
  const auto alerts = desktop.alerts().takeShown();
  ASSERT_EQ(alerts.size(), 3u);
  EXPECT_EQ(alerts[0].messageText, "Clear cookies and site data?");
  EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Clear", "Cancel"}));
  EXPECT_EQ(alerts[2].messageText, "Clear browsing history?");
}

TEST_F(WebAppDelegateTest, TheMainMenuIsTheStandardOne) {
  launch();
  const auto& menus = desktop.appWindows().mainMenu();
  ASSERT_EQ(menus.size(), 4u);
  EXPECT_EQ(menus[0].title, "Mail");
  EXPECT_EQ(menus[0].items[0].title, "About Mail");
  EXPECT_EQ(menus[0].items[3].modifiers, flag::Option | flag::Command);
  EXPECT_EQ(menus[0].items.back().title, "Quit Mail");
  EXPECT_EQ(menus[1].items[6].keyEquivalent, "V");
  EXPECT_EQ(menus[1].items[6].modifiers, flag::Option | flag::Shift | flag::Command);
  const auto& view = menus[2].items;
  EXPECT_EQ(view[2].keyEquivalent, "=");
  EXPECT_TRUE(view[2].hiddenAlternate);
  EXPECT_EQ(view.back().title, "Block ads");
  EXPECT_TRUE(view.back().checked);
  EXPECT_TRUE(menus[3].isWindowsMenu);
  delegate->toggleAdBlock();
  EXPECT_FALSE(desktop.appWindows().mainMenu()[2].items.back().checked);
}

TEST_F(WebAppDelegateTest, TheWindowFollowsThePageTitleAndComesBackFromTheDock) {
  launch();
  desktop.webViews().setTitle("Inbox (3)");
  EXPECT_EQ(desktop.appWindows().lastWindow()->title, "Inbox (3)");
  desktop.webViews().setTitle("");
  desktop.webViews().setTitle(std::nullopt);
  EXPECT_EQ(desktop.appWindows().lastWindow()->title, "Inbox (3)");

  EXPECT_FALSE(delegate->applicationShouldTerminateAfterLastWindowClosed());
  desktop.appWindows().closeLastWindow();
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
  EXPECT_TRUE(desktop.appWindows().lastWindow()->visible);
  EXPECT_EQ(view().loads.size(), 1u);
}

TEST_F(WebAppDelegateTest, CameraAndMicrophoneFollowTheSystemsAnswers) {
  launch();
  auto& authorization = desktop.deviceAuthorization();
  authorization.setCaptureStatus(CaptureDevice::Camera, CaptureAuthorization::Authorized);
  authorization.setCaptureStatus(CaptureDevice::Microphone, CaptureAuthorization::Denied);
  desktop.webViews().requestMediaCapture(MediaCaptureType::Camera);
  desktop.webViews().requestMediaCapture(MediaCaptureType::CameraAndMicrophone);
  desktop.webViews().requestMediaCapture(MediaCaptureType::Other);
  desktop.webViews().requestNotifications();
  EXPECT_EQ(view().permissionDecisions, (std::vector<bool>{true, false, false, true}));

  // Undecided: the system asks, and its answer arrives through the main queue.
  authorization.setCaptureStatus(CaptureDevice::Microphone, CaptureAuthorization::NotDetermined);
  desktop.webViews().requestMediaCapture(MediaCaptureType::CameraAndMicrophone);
  authorization.answerCapturePrompts(true);
  EXPECT_EQ(view().permissionDecisions.size(), 4u);
  desktop.runUntilIdle();
  EXPECT_EQ(view().permissionDecisions.back(), true);
}

TEST_F(WebAppDelegateTest, GeolocationRequestsWaitForTheUsersDecisionInOrder) {
  launch();
  auto& authorization = desktop.deviceAuthorization();
  desktop.webViews().requestGeolocation();
  desktop.webViews().requestGeolocation();
  EXPECT_EQ(delegate->pendingGeolocationCount(), 2u);
  EXPECT_EQ(authorization.locationRequestCount(), 2);
  authorization.setLocationStatus(LocationAuthorization::NotDetermined);
  EXPECT_TRUE(view().permissionDecisions.empty());
  authorization.setLocationStatus(LocationAuthorization::AuthorizedAlways);
  EXPECT_EQ(view().permissionDecisions, (std::vector<bool>{true, true}));
  EXPECT_EQ(delegate->pendingGeolocationCount(), 0u);
  authorization.setLocationStatus(LocationAuthorization::AuthorizedWhenInUse);
  desktop.webViews().requestGeolocation();
  EXPECT_EQ(view().permissionDecisions.back(), false);
}

class WebAppWithoutNamesTest : public WebAppDelegateTest {
protected:
  WebAppWithoutNamesTest()
      : WebAppDelegateTest({{"QuillonWebAppURL", "https://www.example.org:8080/x"}}) {}
};

TEST_F(WebAppWithoutNamesTest, TheWindowIsTitledWithTheHost) {
  launch();
  EXPECT_EQ(desktop.appWindows().lastWindow()->title, "www.example.org");
  EXPECT_EQ(desktop.appWindows().mainMenu()[0].items.back().title, "Quit www.example.org");
}

// Web apps with very long names were once given identifiers this long, and
// keep them: their files and the system know them by it.
PropertyDictionary longIdentifierInfo() {
  return {{"QuillonWebAppURL", "https://mail.example.com/"},
          {"CFBundleIdentifier", "com.quillon.webapp." + std::string(200, 'x')},
          {"CFBundleName", "Mail"}};
}

class WebAppWithLongIdentifierTest : public WebAppDelegateTest {
protected:
  WebAppWithLongIdentifierTest() : WebAppDelegateTest(longIdentifierInfo()) {}
};

bool blockAdsChecked(const SimAppWindows& windows) {
  for (const MainMenu& menu : windows.mainMenu()) {
    for (const MainMenuItem& item : menu.items) {
      if (item.action == "toggleAdBlock") {
        return item.checked;
      }
    }
  }
  return false;
}

TEST_F(WebAppWithLongIdentifierTest, KeepsItsZoomAndBlockingChoiceAcrossLaunches) {
  launch();
  ASSERT_EQ(view().ruleLists, std::vector<std::string>{"QuillonAdBlock-v1"});
  delegate->toggleAdBlock();
  EXPECT_TRUE(view().ruleLists.empty());
  EXPECT_FALSE(blockAdsChecked(desktop.appWindows()));
  delegate->zoomIn();
  const auto lines = desktop.log().lines();
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("could not") != std::string::npos ||
           line.find("refusing") != std::string::npos;
  })) << lines.back();
  delegate.reset();

  // The next launch is a new process, reading the settings from disk.
  SimDesktop relaunched(webAppAt(folder.path(), longIdentifierInfo()));
  WebAppDelegate again(relaunched.platform());
  again.applicationDidFinishLaunching();
  relaunched.runUntilIdle();
  EXPECT_FALSE(again.isAdBlockEnabled());
  EXPECT_TRUE(relaunched.webViews().lastView()->ruleLists.empty());
  EXPECT_DOUBLE_EQ(relaunched.webViews().lastView()->pageZoom, 1.1);
  EXPECT_FALSE(blockAdsChecked(relaunched.appWindows()));
}

class WebAppWithoutAddressTest : public WebAppDelegateTest {
protected:
  WebAppWithoutAddressTest() : WebAppDelegateTest({{"QuillonWebAppURL", "not a url"}}) {}
};

TEST_F(WebAppWithoutAddressTest, ExitsWithoutAWindow) {
  launch();
  EXPECT_TRUE(
      desktop.log().contains("Quillon web-app: no QuillonWebAppURL in Info.plist — exiting"));
  EXPECT_TRUE(desktop.application().isTerminated());
  EXPECT_EQ(desktop.appWindows().lastWindow(), nullptr);
  EXPECT_EQ(desktop.webViews().lastView(), nullptr);
}

} // namespace
} // namespace quillon
