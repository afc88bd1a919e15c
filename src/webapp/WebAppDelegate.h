#pragma once

#include "platform/AppWindows.h"
#include "platform/Application.h"
#include "platform/Defaults.h"
#include "platform/DeviceAuthorization.h"
#include "platform/Lifetime.h"
#include "platform/Platform.h"
#include "platform/WebViews.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillon {

// The web-app mode's composition root: the process is one browser window on
// the start address its bundle names, with its own cookies, zoom and ad
// blocking.
class WebAppDelegate final : public ApplicationDelegate {
public:
  static constexpr std::string_view StartUrlKey = "QuillonWebAppURL";
  static constexpr double zoomMin = 0.5;
  static constexpr double zoomMax = 3.0;
  static constexpr double zoomStep = 0.1;
  static constexpr std::string_view zoomDefaultsKey = "QuillonWebAppPageZoom";
  static constexpr std::string_view adBlockDefaultsKey = "QuillonWebAppBlockAds";
  static constexpr Size WindowSize{1200, 800};
  static constexpr Duration LoadTimeout{60};
  static constexpr std::string_view UserAgent =
      "Mozilla/5.0 (Macintosh; Intel Mac OS X 14_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
      "Version/17.5 Safari/605.1.15";
  // The web app's own defaults when its bundle names no identifier.
  static constexpr std::string_view FallbackDomain = "com.quillon.webapp";

  explicit WebAppDelegate(Platform& platform);
  WebAppDelegate(const WebAppDelegate&) = delete;
  WebAppDelegate& operator=(const WebAppDelegate&) = delete;

  void applicationDidFinishLaunching() override;
  bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }
  bool applicationShouldHandleReopen(bool hasVisibleWindows);

  // Menu actions.
  void zoomIn();
  void zoomOut();
  void zoomActual();
  void reload();
  void clearBrowsingHistory();
  void clearCookies();
  void toggleAdBlock();

  bool isAdBlockEnabled() const;
  // The address being shown, once a launch found a usable one.
  const std::optional<std::string>& startUrl() const { return startUrl_; }
  const std::string& appName() const { return appName_; }
  const RuleListPointer& adBlockRuleList() const { return adBlockRuleList_; }
  WebView* webView() { return webView_.get(); }
  std::size_t pendingGeolocationCount() const { return pendingGeolocationDecisions_.size(); }

  static const std::set<WebsiteDataType>& historyDataTypes();
  static const std::set<WebsiteDataType>& cookieDataTypes();

private:
  std::optional<std::string> readStartUrl() const;
  std::string readAppName() const;
  std::vector<MainMenu> mainMenu() const;
  void performMenuAction(std::string_view action);
  void makeWebView();
  void restoreZoom();
  void resolveRuleListThenLoad();
  void useRuleListAndLoad(RuleListPointer list);
  void makeWindow();
  void applyZoom(double zoom);
  void reportIfUnstored(std::string_view key, bool stored);
  void confirmAndClear(std::string_view messageKey, std::string_view informativeKey,
                       const std::set<WebsiteDataType>& types);

  void requestMediaCapture(MediaCaptureType type, PermissionDecision decide);
  void resolveCapture(CaptureDevice device, std::function<void(bool)> decide);
  void requestGeolocation(PermissionDecision decide);
  void locationAuthorizationChanged(LocationAuthorization status);

  Platform& platform_;
  DefaultsDomain defaults_;
  std::optional<std::string> startUrl_;
  std::string appName_;
  std::unique_ptr<AppWindow> window_;
  std::unique_ptr<WebView> webView_;
  std::vector<Observation> cancellables_;
  // The location service is asked only once a page wants the location.
  std::optional<Observation> locationManager_;
  std::vector<PermissionDecision> pendingGeolocationDecisions_;
  RuleListPointer adBlockRuleList_;
  // The choice made in this run: what the view has, even when the store
  // could not keep it.
  std::optional<bool> adBlockChoice_;
  Lifetime lifetime_;
};

} // namespace quillon
