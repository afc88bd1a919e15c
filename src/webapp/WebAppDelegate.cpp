#include "webapp/WebAppDelegate.h"

#include "platform/Alerts.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "webapp/ContentBlocking.h"
#include "webapp/UrlSyntax.h"
#include "webapp/WebAppAddress.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view fallbackAppName = "Web App";

std::string webAppDomain(const Bundle& bundle) {
  return bundle.bundleIdentifier().value_or(std::string(WebAppDelegate::FallbackDomain));
}

std::string withAppName(std::string format, const std::string& appName) {
  const auto at = format.find("%@");
  if (at != std::string::npos) {
    format.replace(at, 2, appName);
  }
  return format;
}

MainMenuItem item(std::string title, std::string action, std::string key,
                  MenuTarget target = MenuTarget::FirstResponder,
                  EventFlags modifiers = flag::Command) {
  return {std::move(title), std::move(action), std::move(key), modifiers, target};
}

} // namespace

WebAppDelegate::WebAppDelegate(Platform& platform)
    : platform_(platform), defaults_(platform.defaults, webAppDomain(platform.bundle)) {}

const std::set<WebsiteDataType>& WebAppDelegate::historyDataTypes() {
  static const std::set<WebsiteDataType> types{
      WebsiteDataType::DiskCache, WebsiteDataType::MemoryCache,
      WebsiteDataType::OfflineWebApplicationCache, WebsiteDataType::FetchCache};
  return types;
}

const std::set<WebsiteDataType>& WebAppDelegate::cookieDataTypes() {
  static const std::set<WebsiteDataType> types{
      WebsiteDataType::Cookies,         WebsiteDataType::LocalStorage,
      WebsiteDataType::SessionStorage,  WebsiteDataType::IndexedDBDatabases,
      WebsiteDataType::WebSQLDatabases, WebsiteDataType::ServiceWorkerRegistrations};
  return types;
}

std::optional<std::string> WebAppDelegate::readStartUrl() const {
  const auto info = platform_.bundle.infoDictionary();
  if (!info) {
    return std::nullopt;
  }
  const auto found = info->find(StartUrlKey);
  if (found == info->end()) {
    return std::nullopt;
  }
  auto url = found->second.asString();
  if (!url || !isParseableUrl(*url)) {
    return std::nullopt;
  }
  return url;
}

std::string WebAppDelegate::readAppName() const {
  const auto info = platform_.bundle.infoDictionary();
  if (info) {
    auto found = info->find("CFBundleDisplayName");
    if (found == info->end()) {
      found = info->find("CFBundleName");
    }
    if (found != info->end()) {
      if (auto name = found->second.asString()) {
        return *name;
      }
    }
  }
  const auto parts = parseUrlParts(*startUrl_);
  if (parts && parts->host) {
    return *parts->host;
  }
  return std::string(fallbackAppName);
}

void WebAppDelegate::applicationDidFinishLaunching() {
  startUrl_ = readStartUrl();
  if (!startUrl_) {
    platform_.log.write("Quillon web-app: no QuillonWebAppURL in Info.plist — exiting");
    platform_.application.terminate();
    return;
  }
  appName_ = readAppName();
  platform_.appWindows.setMainMenu(mainMenu(),
                                   [this](std::string_view action) { performMenuAction(action); });
  makeWebView();
  restoreZoom();
  resolveRuleListThenLoad();
  makeWindow();
  cancellables_.push_back(webView_->observeTitle([this](std::optional<std::string> title) {
    if (title && !title->empty() && window_) {
      window_->setTitle(*title);
    }
  }));
  platform_.appWindows.activateApplication();
}

std::vector<MainMenu> WebAppDelegate::mainMenu() const {
  const Localization& text = platform_.localization;
  const auto named = [&](std::string_view format) {
    return withAppName(text.localized(format), appName_);
  };
  using enum MenuTarget;
  MainMenu application{
      appName_,
      {
          item(named("About %@"), "orderFrontStandardAboutPanel:", ""),
          MainMenuItem::makeSeparator(),
          item(named("Hide %@"), "hide:", "h", Application),
          item(text.localized("Hide Others"), "hideOtherApplications:", "h", Application,
               flag::Option | flag::Command),
          item(text.localized("Show All"), "unhideAllApplications:", "", Application),
          MainMenuItem::makeSeparator(),
          item(text.localized("Clear browsing history…"), "clearBrowsingHistory", "", Delegate),
          item(text.localized("Clear cookies and site data…"), "clearCookies", "", Delegate),
          MainMenuItem::makeSeparator(),
          item(named("Quit %@"), "terminate:", "q", Application),
      }};
  MainMenu edit{
      text.localized("Edit"),
      {
          item(text.localized("Undo"), "undo:", "z"),
          item(text.localized("Redo"), "redo:", "z", FirstResponder, flag::Shift | flag::Command),
          MainMenuItem::makeSeparator(),
          item(text.localized("Cut"), "cut:", "x"),
          item(text.localized("Copy"), "copy:", "c"),
          item(text.localized("Paste"), "paste:", "v"),
          item(text.localized("Paste and Match Style"), "pasteAsPlainText:", "V", FirstResponder,
               flag::Option | flag::Shift | flag::Command),
          item(text.localized("Delete"), "delete:", ""),
          item(text.localized("Select All"), "selectAll:", "a"),
      }};
  MainMenuItem zoomInAlternate = item(text.localized("Zoom In"), "zoomIn", "=", Delegate);
  zoomInAlternate.hiddenAlternate = true;
  MainMenuItem blockAds = item(text.localized("Block ads"), "toggleAdBlock", "", Delegate);
  blockAds.checkable = true;
  blockAds.checked = isAdBlockEnabled();
  MainMenu view{text.localized("View"),
                {
                    item(text.localized("Actual Size"), "zoomActual", "0", Delegate),
                    item(text.localized("Zoom In"), "zoomIn", "+", Delegate),
                    zoomInAlternate,
                    item(text.localized("Zoom Out"), "zoomOut", "-", Delegate),
                    MainMenuItem::makeSeparator(),
                    item(text.localized("Reload"), "reload", "r", Delegate),
                    MainMenuItem::makeSeparator(),
                    blockAds,
                }};
  MainMenu window{
      text.localized("Window"),
      {
          item(text.localized("Minimize"), "performMiniaturize:", "m"),
          item(text.localized("Zoom"), "performZoom:", ""),
          MainMenuItem::makeSeparator(),
          item(text.localized("Bring All to Front"), "arrangeInFront:", "", Application),
      },
      true};
  return {application, edit, view, window};
}

void WebAppDelegate::performMenuAction(std::string_view action) {
  const std::pair<std::string_view, void (WebAppDelegate::*)()> actions[] = {
      {"zoomIn", &WebAppDelegate::zoomIn},
      {"zoomOut", &WebAppDelegate::zoomOut},
      {"zoomActual", &WebAppDelegate::zoomActual},
      {"reload", &WebAppDelegate::reload},
      {"clearBrowsingHistory", &WebAppDelegate::clearBrowsingHistory},
      {"clearCookies", &WebAppDelegate::clearCookies},
      {"toggleAdBlock", &WebAppDelegate::toggleAdBlock},
  };
  for (const auto& [name, perform] : actions) {
    if (name == action) {
      (this->*perform)();
      return;
    }
  }
}

void WebAppDelegate::makeWebView() {
  WebViewConfiguration configuration;
  configuration.persistentDataStore = true;
  configuration.javaScriptCanOpenWindowsAutomatically = true;
  configuration.javaScriptEnabled = true;
  configuration.elementFullscreenEnabled = true;
  configuration.frame = WindowSize;
  configuration.allowsBackForwardNavigationGestures = true;
  configuration.customUserAgent = std::string(UserAgent);
  configuration.inspectable = true;
  WebViewPermissionHandlers handlers;
  handlers.mediaCapture = [this](MediaCaptureType type, PermissionDecision decide) {
    requestMediaCapture(type, std::move(decide));
  };
  handlers.geolocation = [this](PermissionDecision decide) {
    requestGeolocation(std::move(decide));
  };
  handlers.notifications = [](PermissionDecision decide) { decide(true); };
  webView_ = platform_.webViews.makeWebView(configuration, std::move(handlers));
}

void WebAppDelegate::restoreZoom() {
  const auto stored = defaults_.object(zoomDefaultsKey);
  const auto zoom = stored ? stored->asReal() : std::nullopt;
  if (zoom && *zoom > 0) {
    webView_->setPageZoom(std::clamp(*zoom, zoomMin, zoomMax));
  }
}

void WebAppDelegate::resolveRuleListThenLoad() {
  ContentRuleListStore* store = platform_.webViews.defaultRuleListStore();
  if (store == nullptr) {
    webView_->load(*startUrl_, LoadTimeout);
    return;
  }
  store->lookUp(AdBlockRuleListIdentifier, [this, store](RuleListPointer found) {
    if (found) {
      platform_.mainQueue.async(lifetime_.guard([this, found] { useRuleListAndLoad(found); }));
      return;
    }
    store->compile(AdBlockRuleListIdentifier, adBlockRulesJSON(),
                   [this](RuleListPointer compiled, const std::string& error) {
                     if (!compiled) {
                       platform_.log.write("Quillon webapp: adblock compile failed: " + error);
                     }
                     platform_.mainQueue.async(
                         lifetime_.guard([this, compiled] { useRuleListAndLoad(compiled); }));
                   });
  });
}

void WebAppDelegate::useRuleListAndLoad(RuleListPointer list) {
  adBlockRuleList_ = std::move(list);
  if (adBlockRuleList_ && isAdBlockEnabled()) {
    webView_->addRuleList(adBlockRuleList_);
  }
  webView_->load(*startUrl_, LoadTimeout);
}

void WebAppDelegate::makeWindow() {
  WindowStyle style;
  style.contentSize = WindowSize;
  style.titled = true;
  style.closable = true;
  style.miniaturizable = true;
  style.resizable = true;
  style.fullSizeContentView = true;
  style.releasedWhenClosed = false;
  window_ = platform_.appWindows.makeWindow(style);
  window_->setTitle(appName_);
  window_->setContent(*webView_);
  window_->center();
  window_->makeKeyAndOrderFront();
}

bool WebAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
  if (!hasVisibleWindows && window_) {
    window_->makeKeyAndOrderFront();
    platform_.appWindows.activateApplication();
  }
  return true;
}

bool WebAppDelegate::isAdBlockEnabled() const {
  if (adBlockChoice_) {
    return *adBlockChoice_;
  }
  const auto stored = defaults_.object(adBlockDefaultsKey);
  const auto enabled = stored ? stored->asBool() : std::nullopt;
  return enabled.value_or(true);
}

void WebAppDelegate::toggleAdBlock() {
  const bool enabled = !isAdBlockEnabled();
  adBlockChoice_ = enabled;
  reportIfUnstored(adBlockDefaultsKey, defaults_.set(adBlockDefaultsKey, enabled));
  platform_.appWindows.setMenuItemChecked("toggleAdBlock", enabled);
  if (!webView_ || !adBlockRuleList_) {
    return;
  }
  if (enabled) {
    webView_->addRuleList(adBlockRuleList_);
  } else {
    webView_->removeRuleList(adBlockRuleList_);
  }
  webView_->reload();
}

void WebAppDelegate::applyZoom(double zoom) {
  if (!webView_) {
    return;
  }
  webView_->setPageZoom(zoom);
  reportIfUnstored(zoomDefaultsKey, defaults_.set(zoomDefaultsKey, zoom));
}

// The choice holds for this run either way; only the next launch loses it.
void WebAppDelegate::reportIfUnstored(std::string_view key, bool stored) {
  if (!stored) {
    platform_.log.write("Quillon webapp: could not store " + std::string(key) +
                        " in defaults domain of " + std::to_string(defaults_.name().size()) +
                        " bytes; it applies until the web app quits");
  }
}

void WebAppDelegate::zoomIn() {
  if (webView_) {
    applyZoom(std::clamp(webView_->pageZoom() + zoomStep, zoomMin, zoomMax));
  }
}

void WebAppDelegate::zoomOut() {
  if (webView_) {
    applyZoom(std::clamp(webView_->pageZoom() - zoomStep, zoomMin, zoomMax));
  }
}

void WebAppDelegate::zoomActual() {
  applyZoom(1.0);
}

void WebAppDelegate::reload() {
  if (webView_) {
    webView_->reload();
  }
}

void WebAppDelegate::clearBrowsingHistory() {
  confirmAndClear("Clear browsing history?",
                  "This will erase navigation history, the disk and memory caches, and the "
                  "back-forward list for this web app.",
                  historyDataTypes());
}

void WebAppDelegate::clearCookies() {
  confirmAndClear("Clear cookies and site data?",
                  "Cookies, localStorage, IndexedDB and other persisted website data will be "
                  "removed. You'll be logged out of every site inside this web app.",
                  cookieDataTypes());
}

void WebAppDelegate::confirmAndClear(std::string_view messageKey, std::string_view informativeKey,
                                     const std::set<WebsiteDataType>& types) {
  const Localization& text = platform_.localization;
  AlertRequest request;
  request.messageText = text.localized(messageKey);
  request.informativeText = text.localized(informativeKey);
  request.buttons = {text.localized("Clear"), text.localized("Cancel")};
  const AlertResponse response = platform_.alerts.runModal(request);
  if (response.button != 0 || !webView_) {
    return;
  }
  webView_->removeWebsiteData(types, lifetime_.guard([this] {
    if (webView_) {
      webView_->reload();
    }
  }));
}

void WebAppDelegate::requestMediaCapture(MediaCaptureType type, PermissionDecision decide) {
  switch (type) {
  case MediaCaptureType::Camera:
    resolveCapture(CaptureDevice::Camera, std::move(decide));
    return;
  case MediaCaptureType::Microphone:
    resolveCapture(CaptureDevice::Microphone, std::move(decide));
    return;
  case MediaCaptureType::CameraAndMicrophone:
    resolveCapture(CaptureDevice::Camera, [this, decide = std::move(decide)](bool camera) mutable {
      if (!camera) {
        decide(false);
        return;
      }
      resolveCapture(CaptureDevice::Microphone, std::move(decide));
    });
    return;
  case MediaCaptureType::Other:
    decide(false);
    return;
  }
}

void WebAppDelegate::resolveCapture(CaptureDevice device, std::function<void(bool)> decide) {
  switch (platform_.deviceAuthorization.captureStatus(device)) {
  case CaptureAuthorization::NotDetermined:
    platform_.deviceAuthorization.requestCaptureAccess(
        device, [this, decide = std::move(decide)](bool granted) {
          platform_.mainQueue.async(lifetime_.guard([decide, granted] { decide(granted); }));
        });
    return;
  case CaptureAuthorization::Restricted:
  case CaptureAuthorization::Denied:
    decide(false);
    return;
  case CaptureAuthorization::Authorized:
    decide(true);
    return;
  }
}

void WebAppDelegate::requestGeolocation(PermissionDecision decide) {
  if (!locationManager_) {
    locationManager_ = platform_.deviceAuthorization.observeLocationAuthorization(
        [this](LocationAuthorization status) { locationAuthorizationChanged(status); });
  }
  switch (platform_.deviceAuthorization.locationStatus()) {
  case LocationAuthorization::NotDetermined:
    pendingGeolocationDecisions_.push_back(std::move(decide));
    platform_.deviceAuthorization.requestLocationWhenInUse();
    return;
  case LocationAuthorization::AuthorizedAlways:
    decide(true);
    return;
  case LocationAuthorization::Restricted:
  case LocationAuthorization::Denied:
  case LocationAuthorization::AuthorizedWhenInUse:
    decide(false);
    return;
  }
}

void WebAppDelegate::locationAuthorizationChanged(LocationAuthorization status) {
  if (status == LocationAuthorization::NotDetermined) {
    return;
  }
  const bool granted = status == LocationAuthorization::AuthorizedAlways;
  auto pending = std::exchange(pendingGeolocationDecisions_, {});
  for (PermissionDecision& decide : pending) {
    decide(granted);
  }
}

} // namespace quillon
