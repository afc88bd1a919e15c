#pragma once

#include "platform/Log.h"
#include "platform/WebViews.h"

#include <filesystem>
#include <memory>
#include <webkit2/webkit2.h>

namespace quillon {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPointer = std::unique_ptr<T, GObjectUnref>;

// A compiled rule list as WebKit keeps it.
class WebKitRuleList final : public ContentRuleList {
public:
  WebKitRuleList(std::string identifier, WebKitUserContentFilter* filter)
      : identifier_(std::move(identifier)), filter_(filter) {}
  ~WebKitRuleList() override { webkit_user_content_filter_unref(filter_); }
  WebKitRuleList(const WebKitRuleList&) = delete;
  WebKitRuleList& operator=(const WebKitRuleList&) = delete;

  std::string identifier() const override { return identifier_; }
  WebKitUserContentFilter* filter() const { return filter_; }

private:
  std::string identifier_;
  WebKitUserContentFilter* filter_;
};

// Rule lists compiled once into the web app's own folder and found there at
// every later launch.
class WebKitRuleListStore final : public ContentRuleListStore {
public:
  WebKitRuleListStore(const std::filesystem::path& folder, Log& log);

  void lookUp(std::string_view identifier, std::function<void(RuleListPointer)> answer) override;
  void compile(std::string_view identifier, std::string_view rulesJson,
               std::function<void(RuleListPointer, std::string error)> answer) override;

private:
  GObjectPointer<WebKitUserContentFilterStore> store_;
  Log& log_;
};

// One web app's views: they share a data manager of the app's own, so
// cookies and storage live in its folder and nowhere else.
class WebKitWebViews final : public WebViews {
public:
  WebKitWebViews(const std::filesystem::path& dataFolder, const std::filesystem::path& cacheFolder,
                 Log& log);

  std::unique_ptr<WebView> makeWebView(const WebViewConfiguration& configuration,
                                       WebViewPermissionHandlers handlers) override;
  ContentRuleListStore* defaultRuleListStore() override { return &ruleLists_; }

private:
  GObjectPointer<WebKitWebsiteDataManager> dataManager_;
  GObjectPointer<WebKitWebContext> context_;
  WebKitRuleListStore ruleLists_;
  Log& log_;
};

// The widget behind a view made here; null for any other view.
GtkWidget* webKitWidgetOf(WebView& view);

} // namespace quillon
