#include "platform/sim/SimWebViews.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace quillon {

namespace {

class SimRuleList final : public ContentRuleList {
public:
  explicit SimRuleList(std::string identifier) : identifier_(std::move(identifier)) {}
  std::string identifier() const override { return identifier_; }

private:
  std::string identifier_;
};

class SimWebView final : public WebView {
public:
  SimWebView(std::shared_ptr<SimWebViewRecord> record, MainQueue& mainQueue, SimJournal& journal)
      : record_(std::move(record)), mainQueue_(mainQueue), journal_(journal) {}
  ~SimWebView() override { record_->destroyed = true; }
  SimWebView(const SimWebView&) = delete;
  SimWebView& operator=(const SimWebView&) = delete;

  double pageZoom() const override { return record_->pageZoom; }
  void setPageZoom(double zoom) override { record_->pageZoom = zoom; }
  void load(std::string_view url, Duration) override {
    journal_.record("web view load " + std::string(url));
    record_->loads.emplace_back(url);
  }
  void reload() override {
    journal_.record("web view reload");
    ++record_->reloadCount;
  }
  void addRuleList(const RuleListPointer& list) override {
    journal_.record("web view add rule list " + list->identifier());
    record_->ruleLists.push_back(list->identifier());
  }
  void removeRuleList(const RuleListPointer& list) override {
    journal_.record("web view remove rule list " + list->identifier());
    std::erase(record_->ruleLists, list->identifier());
  }
  Observation observeTitle(std::function<void(std::optional<std::string>)> callback) override {
    callback(record_->title);
    return record_->titleObservers.add(std::move(callback));
  }
  void removeWebsiteData(const std::set<WebsiteDataType>& types,
                         std::function<void()> completion) override {
    journal_.record("web view remove data");
    record_->dataRemovals.push_back(types);
    mainQueue_.async(std::move(completion));
  }

private:
  std::shared_ptr<SimWebViewRecord> record_;
  MainQueue& mainQueue_;
  SimJournal& journal_;
};

// What the compiler checks: an array of objects, each with a trigger
// holding a url-filter and an action holding a type.
bool isRuleArray(const nlohmann::json& rules) {
  if (!rules.is_array() || rules.empty()) {
    return false;
  }
  return std::all_of(rules.begin(), rules.end(), [](const nlohmann::json& rule) {
    return rule.is_object() && rule.contains("trigger") && rule["trigger"].is_object() &&
           rule["trigger"].contains("url-filter") && rule.contains("action") &&
           rule["action"].is_object() && rule["action"].contains("type");
  });
}

} // namespace

std::string_view websiteDataTypeName(WebsiteDataType type) {
  switch (type) {
  case WebsiteDataType::DiskCache:
    return "diskCache";
  case WebsiteDataType::MemoryCache:
    return "memoryCache";
  case WebsiteDataType::OfflineWebApplicationCache:
    return "offlineWebApplicationCache";
  case WebsiteDataType::FetchCache:
    return "fetchCache";
  case WebsiteDataType::Cookies:
    return "cookies";
  case WebsiteDataType::LocalStorage:
    return "localStorage";
  case WebsiteDataType::SessionStorage:
    return "sessionStorage";
  case WebsiteDataType::IndexedDBDatabases:
    return "indexedDBDatabases";
  case WebsiteDataType::WebSQLDatabases:
    return "webSQLDatabases";
  case WebsiteDataType::ServiceWorkerRegistrations:
    return "serviceWorkerRegistrations";
  }
  return "unknown";
}

void SimContentRuleListStore::lookUp(std::string_view identifier,
                                     std::function<void(RuleListPointer)> answer) {
  journal_.record("rule list look up " + std::string(identifier));
  const auto found = lists_.find(identifier);
  RuleListPointer list = found == lists_.end() ? nullptr : found->second.first;
  answers_.async([answer = std::move(answer), list] { answer(list); });
}

void SimContentRuleListStore::compile(
    std::string_view identifier, std::string_view rulesJson,
    std::function<void(RuleListPointer, std::string error)> answer) {
  journal_.record("rule list compile " + std::string(identifier));
  ++compileCount_;
  if (auto error = std::exchange(nextCompileError_, std::nullopt)) {
    answers_.async(
        [answer = std::move(answer), error = std::move(*error)] { answer(nullptr, error); });
    return;
  }
  const nlohmann::json rules = nlohmann::json::parse(rulesJson, nullptr, false);
  if (!isRuleArray(rules)) {
    answers_.async([answer = std::move(answer)] {
      answer(nullptr, "Rule list compilation failed: the source is not an array of rules");
    });
    return;
  }
  RuleListPointer list = std::make_shared<SimRuleList>(std::string(identifier));
  lists_.insert_or_assign(std::string(identifier), std::make_pair(list, std::string(rulesJson)));
  answers_.async([answer = std::move(answer), list] { answer(list, {}); });
}

std::string SimContentRuleListStore::source(std::string_view identifier) const {
  const auto found = lists_.find(identifier);
  return found == lists_.end() ? std::string() : found->second.second;
}

std::unique_ptr<WebView> SimWebViews::makeWebView(const WebViewConfiguration& configuration,
                                                  WebViewPermissionHandlers handlers) {
  journal_.record("make web view");
  last_ = std::make_shared<SimWebViewRecord>();
  last_->configuration = configuration;
  last_->handlers = std::move(handlers);
  return std::make_unique<SimWebView>(last_, mainQueue_, journal_);
}

void SimWebViews::setTitle(std::optional<std::string> title) {
  if (!last_ || last_->destroyed) {
    return;
  }
  last_->title = title;
  last_->titleObservers.post(title);
}

PermissionDecision SimWebViews::recordDecision() {
  return [record = std::weak_ptr<SimWebViewRecord>(last_)](bool granted) {
    if (const auto live = record.lock()) {
      live->permissionDecisions.push_back(granted);
    }
  };
}

void SimWebViews::requestMediaCapture(MediaCaptureType type) {
  if (last_ && !last_->destroyed && last_->handlers.mediaCapture) {
    last_->handlers.mediaCapture(type, recordDecision());
  }
}

void SimWebViews::requestGeolocation() {
  if (last_ && !last_->destroyed && last_->handlers.geolocation) {
    last_->handlers.geolocation(recordDecision());
  }
}

void SimWebViews::requestNotifications() {
  if (last_ && !last_->destroyed && last_->handlers.notifications) {
    last_->handlers.notifications(recordDecision());
  }
}

} // namespace quillon
