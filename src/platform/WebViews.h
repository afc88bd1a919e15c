// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Geometry.h"
#include "platform/Observation.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace quillon {

enum class WebsiteDataType {
  DiskCache,
  MemoryCache,
  OfflineWebApplicationCache,
  FetchCache,
  Cookies,
  LocalStorage,
  SessionStorage,
  IndexedDBDatabases,
  WebSQLDatabases,
  ServiceWorkerRegistrations,
};

enum class MediaCaptureType { Camera, Microphone, CameraAndMicrophone, Other };

struct WebViewConfiguration {
  // The application's own persistent store: cookies and logins survive.
  bool persistentDataStore = true;
  bool javaScriptCanOpenWindowsAutomatically = false;
  bool javaScriptEnabled = true;
  bool elementFullscreenEnabled = false;
  Size frame{0, 0};
  bool allowsBackForwardNavigationGestures = false;
  std::string customUserAgent;
  // The web inspector can be opened on the view.
  bool inspectable = false;
};

using PermissionDecision = std::function<void(bool granted)>;

// How the page's permission requests reach the product; each decision must
// be called exactly once, on the main thread.
struct WebViewPermissionHandlers {
  std::function<void(MediaCaptureType type, PermissionDecision decide)> mediaCapture;
  std::function<void(PermissionDecision decide)> geolocation;
  std::function<void(PermissionDecision decide)> notifications;
};

// A compiled set of content-blocking rules kept by the platform.
class ContentRuleList {
public:
  virtual ~ContentRuleList() = default;
  virtual std::string identifier() const = 0;
};
using RuleListPointer = std::shared_ptr<const ContentRuleList>;

// The stored, compiled rule lists. Both answers may arrive on any thread.
class ContentRuleListStore {
public:
  virtual ~ContentRuleListStore() = default;
  // Nothing when no list of that identifier is stored or the lookup failed.
  virtual void lookUp(std::string_view identifier, std::function<void(RuleListPointer)> answer) = 0;
  // The list, or nothing and the compiler's error text.
  virtual void compile(std::string_view identifier, std::string_view rulesJson,
                       std::function<void(RuleListPointer, std::string error)> answer) = 0;
};

class WebView {
public:
  virtual ~WebView() = default;
  virtual double pageZoom() const = 0;
  virtual void setPageZoom(double zoom) = 0;
  virtual void load(std::string_view url, Duration timeout) = 0;
  virtual void reload() = 0;
  virtual void addRuleList(const RuleListPointer& list) = 0;
  virtual void removeRuleList(const RuleListPointer& list) = 0;
  // Calls back at once with the current title, then with every change, on
  // the main thread; nothing for a page without a title.
  virtual Observation observeTitle(std::function<void(std::optional<std::string>)> callback) = 0;
  // Removes every stored item of these types from the view's data store and
  // calls completion on the main thread when done.
  virtual void removeWebsiteData(const std::set<WebsiteDataType>& types,
                                 std::function<void()> completion) = 0;
};

class WebViews {
public:
  virtual ~WebViews() = default;
  virtual std::unique_ptr<WebView> makeWebView(const WebViewConfiguration& configuration,
                                               WebViewPermissionHandlers handlers) = 0;
  // Null on a platform that keeps no compiled rule lists.
  virtual ContentRuleListStore* defaultRuleListStore() = 0;
};

} // namespace quillon
