#include "platform/linux/webkit/WebKitWebViews.h"

#include "platform/linux/webkit/ContentRuleSplitter.h"

#include <map>
#include <utility>

namespace quillon {

namespace {

WebKitWebsiteDataTypes webKitTypes(const std::set<WebsiteDataType>& types) {
  unsigned mask = 0;
  for (const WebsiteDataType type : types) {
    switch (type) {
    case WebsiteDataType::DiskCache:
      mask |= WEBKIT_WEBSITE_DATA_DISK_CACHE;
      break;
    case WebsiteDataType::MemoryCache:
      mask |= WEBKIT_WEBSITE_DATA_MEMORY_CACHE;
      break;
    case WebsiteDataType::OfflineWebApplicationCache:
      mask |= WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE;
      break;
    case WebsiteDataType::FetchCache:
      // What pages keep through the Cache API.
      mask |= WEBKIT_WEBSITE_DATA_DOM_CACHE;
      break;
    case WebsiteDataType::Cookies:
      mask |= WEBKIT_WEBSITE_DATA_COOKIES;
      break;
    case WebsiteDataType::LocalStorage:
      mask |= WEBKIT_WEBSITE_DATA_LOCAL_STORAGE;
      break;
    case WebsiteDataType::SessionStorage:
      mask |= WEBKIT_WEBSITE_DATA_SESSION_STORAGE;
      break;
    case WebsiteDataType::IndexedDBDatabases:
      mask |= WEBKIT_WEBSITE_DATA_INDEXEDDB_DATABASES;
      break;
    case WebsiteDataType::WebSQLDatabases:
      mask |= WEBKIT_WEBSITE_DATA_WEBSQL_DATABASES;
      break;
    case WebsiteDataType::ServiceWorkerRegistrations:
      mask |= WEBKIT_WEBSITE_DATA_SERVICE_WORKER_REGISTRATIONS;
      break;
    }
  }
  return static_cast<WebKitWebsiteDataTypes>(mask);
}

std::string errorText(GError* error) {
  std::string text = error != nullptr ? error->message : "unknown error";
  if (error != nullptr) {
    g_error_free(error);
  }
  return text;
}

// A permission request answered once, whenever the product decides; the
// request is kept alive until then.
PermissionDecision decisionFor(WebKitPermissionRequest* request) {
  auto kept = std::shared_ptr<WebKitPermissionRequest>(
      WEBKIT_PERMISSION_REQUEST(g_object_ref(request)),
      [](WebKitPermissionRequest* held) { g_object_unref(held); });
  auto answered = std::make_shared<bool>(false);
  return [kept, answered](bool granted) {
    if (*answered) {
      return;
    }
    *answered = true;
    if (granted) {
      webkit_permission_request_allow(kept.get());
    } else {
      webkit_permission_request_deny(kept.get());
    }
  };
}

class WebKitView final : public WebView {
public:
  WebKitView(GtkWidget* widget, WebViewPermissionHandlers handlers)
      : widget_(widget), handlers_(std::move(handlers)) {
    g_object_ref_sink(widget_);
    g_signal_connect(widget_, "notify::title", G_CALLBACK(onTitle), this);
    g_signal_connect(widget_, "permission-request", G_CALLBACK(onPermission), this);
  }
  ~WebKitView() override {
    g_signal_handlers_disconnect_by_data(widget_, this);
    g_object_unref(widget_);
  }
  WebKitView(const WebKitView&) = delete;
  WebKitView& operator=(const WebKitView&) = delete;

  GtkWidget* widget() const { return widget_; }

  double pageZoom() const override { return webkit_web_view_get_zoom_level(view()); }
  void setPageZoom(double zoom) override { webkit_web_view_set_zoom_level(view(), zoom); }
  // WebKitGTK sets no time limit per request; its network process gives up
  // on a silent server by itself.
  void load(std::string_view url, Duration) override {
    webkit_web_view_load_uri(view(), std::string(url).c_str());
  }
  void reload() override { webkit_web_view_reload(view()); }
  void addRuleList(const RuleListPointer& list) override {
    if (const auto* rules = dynamic_cast<const WebKitRuleList*>(list.get())) {
      webkit_user_content_manager_add_filter(contentManager(), rules->filter());
    }
  }
  void removeRuleList(const RuleListPointer& list) override {
    if (const auto* rules = dynamic_cast<const WebKitRuleList*>(list.get())) {
      webkit_user_content_manager_remove_filter(contentManager(), rules->filter());
    }
  }
  Observation observeTitle(std::function<void(std::optional<std::string>)> callback) override {
    const int key = nextObserver_++;
    titleObservers_.emplace(key, std::move(callback));
    titleObservers_.at(key)(title());
    return Observation(std::make_unique<TitleToken>(*this, key));
  }
  void removeWebsiteData(const std::set<WebsiteDataType>& types,
                         std::function<void()> completion) override {
    auto pending = std::make_unique<std::function<void()>>(std::move(completion));
    webkit_website_data_manager_clear(webkit_web_view_get_website_data_manager(view()),
                                      webKitTypes(types), 0, nullptr, onCleared, pending.release());
  }

private:
  class TitleToken final : public Observation::Token {
  public:
    TitleToken(WebKitView& view, int key) : view_(view), key_(key) {}
    void cancel() override { view_.titleObservers_.erase(key_); }

  private:
    WebKitView& view_;
    int key_;
  };

  WebKitWebView* view() const { return WEBKIT_WEB_VIEW(widget_); }
  WebKitUserContentManager* contentManager() const {
    return webkit_web_view_get_user_content_manager(view());
  }
  std::optional<std::string> title() const {
    const gchar* text = webkit_web_view_get_title(view());
    if (text == nullptr) {
      return std::nullopt;
    }
    return std::string(text);
  }

  static void onTitle(GObject*, GParamSpec*, gpointer data) {
    auto& self = *static_cast<WebKitView*>(data);
    const auto title = self.title();
    // An observer may stop observing while being told.
    std::vector<int> keys;
    for (const auto& [key, observer] : self.titleObservers_) {
      keys.push_back(key);
    }
    for (const int key : keys) {
      const auto found = self.titleObservers_.find(key);
      if (found != self.titleObservers_.end()) {
        found->second(title);
      }
    }
  }

  static gboolean onPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer data) {
    auto& self = *static_cast<WebKitView*>(data);
    PermissionDecision decide = decisionFor(request);
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
      auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
      const bool audio = webkit_user_media_permission_is_for_audio_device(media) != FALSE;
      const bool video = webkit_user_media_permission_is_for_video_device(media) != FALSE;
      const MediaCaptureType type = audio && video ? MediaCaptureType::CameraAndMicrophone
                                    : video        ? MediaCaptureType::Camera
                                    : audio        ? MediaCaptureType::Microphone
                                                   : MediaCaptureType::Other;
      if (self.handlers_.mediaCapture) {
        self.handlers_.mediaCapture(type, std::move(decide));
        return TRUE;
      }
    } else if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) {
      if (self.handlers_.geolocation) {
        self.handlers_.geolocation(std::move(decide));
        return TRUE;
      }
    } else if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) {
      if (self.handlers_.notifications) {
        self.handlers_.notifications(std::move(decide));
        return TRUE;
      }
    }
    // Whatever the product does not answer for is refused, never left to
    // a prompt of the engine's own.
    decide(false);
    return TRUE;
  }

  static void onCleared(GObject* manager, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<std::function<void()>> completion(
        static_cast<std::function<void()>*>(data));
    GError* error = nullptr;
    webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result, &error);
    if (error != nullptr) {
      g_error_free(error);
    }
    if (*completion) {
      (*completion)();
    }
  }

  GtkWidget* widget_;
  WebViewPermissionHandlers handlers_;
  std::map<int, std::function<void(std::optional<std::string>)>> titleObservers_;
  int nextObserver_ = 0;
};

struct LookUpCall {
  std::string identifier;
  std::function<void(RuleListPointer)> answer;
};

struct CompileCall {
  std::string identifier;
  std::function<void(RuleListPointer, std::string)> answer;
};

void onLoaded(GObject* store, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<LookUpCall> call(static_cast<LookUpCall*>(data));
  GError* error = nullptr;
  WebKitUserContentFilter* filter = webkit_user_content_filter_store_load_finish(
      WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
  if (filter == nullptr) {
    errorText(error);
    call->answer(nullptr);
    return;
  }
  call->answer(std::make_shared<WebKitRuleList>(call->identifier, filter));
}

void onSaved(GObject* store, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<CompileCall> call(static_cast<CompileCall*>(data));
  GError* error = nullptr;
  WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(
      WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
  if (filter == nullptr) {
    call->answer(nullptr, errorText(error));
    return;
  }
  call->answer(std::make_shared<WebKitRuleList>(call->identifier, filter), {});
}

} // namespace

WebKitRuleListStore::WebKitRuleListStore(const std::filesystem::path& folder, Log& log)
    : store_(webkit_user_content_filter_store_new(folder.c_str())), log_(log) {}

void WebKitRuleListStore::lookUp(std::string_view identifier,
                                 std::function<void(RuleListPointer)> answer) {
  auto call = std::make_unique<LookUpCall>(LookUpCall{std::string(identifier), std::move(answer)});
  // The call owns itself until the answer comes.
  const char* name = call->identifier.c_str();
  webkit_user_content_filter_store_load(store_.get(), name, nullptr, onLoaded, call.release());
}

void WebKitRuleListStore::compile(std::string_view identifier, std::string_view rulesJson,
                                  std::function<void(RuleListPointer, std::string)> answer) {
  const auto split = splitAlternatingRules(rulesJson);
  if (!split) {
    answer(nullptr, "the rules are not a JSON list");
    return;
  }
  GBytes* bytes = g_bytes_new(split->data(), split->size());
  auto call =
      std::make_unique<CompileCall>(CompileCall{std::string(identifier), std::move(answer)});
  const char* name = call->identifier.c_str();
  webkit_user_content_filter_store_save(store_.get(), name, bytes, nullptr, onSaved,
                                        call.release());
  g_bytes_unref(bytes);
}

WebKitWebViews::WebKitWebViews(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& cacheFolder, Log& log)
    : dataManager_(WEBKIT_WEBSITE_DATA_MANAGER(
          webkit_website_data_manager_new("base-data-directory", dataFolder.c_str(),
                                          "base-cache-directory", cacheFolder.c_str(), nullptr))),
      context_(webkit_web_context_new_with_website_data_manager(dataManager_.get())),
      ruleLists_(dataFolder / "content-filters", log), log_(log) {
  // Logins must outlive the process, in the app's own folder.
  webkit_cookie_manager_set_persistent_storage(
      webkit_website_data_manager_get_cookie_manager(dataManager_.get()),
      (dataFolder / "cookies.sqlite").c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
}

std::unique_ptr<WebView> WebKitWebViews::makeWebView(const WebViewConfiguration& configuration,
                                                     WebViewPermissionHandlers handlers) {
  const GObjectPointer<WebKitSettings> settings(webkit_settings_new());
  if (!configuration.customUserAgent.empty()) {
    webkit_settings_set_user_agent(settings.get(), configuration.customUserAgent.c_str());
  }
  webkit_settings_set_javascript_can_open_windows_automatically(
      settings.get(), configuration.javaScriptCanOpenWindowsAutomatically);
  webkit_settings_set_enable_javascript(settings.get(), configuration.javaScriptEnabled);
  webkit_settings_set_enable_fullscreen(settings.get(), configuration.elementFullscreenEnabled);
  webkit_settings_set_enable_developer_extras(settings.get(), configuration.inspectable);
  webkit_settings_set_enable_back_forward_navigation_gestures(
      settings.get(), configuration.allowsBackForwardNavigationGestures);
  // Without it pages never ask for the camera or microphone at all.
  webkit_settings_set_enable_media_stream(settings.get(), TRUE);
  const GObjectPointer<WebKitUserContentManager> content(webkit_user_content_manager_new());
  GtkWidget* widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_.get(),
                                              "user-content-manager", content.get(), "settings",
                                              settings.get(), nullptr));
  return std::make_unique<WebKitView>(widget, std::move(handlers));
}

GtkWidget* webKitWidgetOf(WebView& view) {
  auto* webKit = dynamic_cast<WebKitView*>(&view);
  return webKit != nullptr ? webKit->widget() : nullptr;
}

} // namespace quillon
