#pragma once

#include "platform/MainQueue.h"
#include "platform/WebViews.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimObservers.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillon {

// A web view as data: what it was configured with and everything asked of
// it, kept after the view is gone. The page's title and its permission
// requests are played by the test or the script.
struct SimWebViewRecord {
  WebViewConfiguration configuration;
  WebViewPermissionHandlers handlers;
  double pageZoom = 1.0;
  std::vector<std::string> loads;
  int reloadCount = 0;
  // The identifiers of the rule lists attached now, in attachment order.
  std::vector<std::string> ruleLists;
  std::vector<std::set<WebsiteDataType>> dataRemovals;
  std::optional<std::string> title;
  // The answers given to the page's permission requests, in order.
  std::vector<bool> permissionDecisions;
  bool destroyed = false;
  SimObservers<std::optional<std::string>> titleObservers;
};

// The rule lists kept between launches, compiled from JSON by checking that
// it is an array of rules.
class SimContentRuleListStore final : public ContentRuleListStore {
public:
  SimContentRuleListStore(BackgroundQueue& answers, SimJournal& journal)
      : answers_(answers), journal_(journal) {}

  void lookUp(std::string_view identifier, std::function<void(RuleListPointer)> answer) override;
  void compile(std::string_view identifier, std::string_view rulesJson,
               std::function<void(RuleListPointer, std::string error)> answer) override;

  int compileCount() const { return compileCount_; }
  bool contains(std::string_view identifier) const { return lists_.contains(identifier); }
  void removeAll() { lists_.clear(); }
  // The next compilation fails with this error, as a system whose content
  // blocker refuses the rules would.
  void failNextCompile(std::string error) { nextCompileError_ = std::move(error); }
  // The JSON a list was compiled from.
  std::string source(std::string_view identifier) const;

private:
  BackgroundQueue& answers_;
  SimJournal& journal_;
  std::map<std::string, std::pair<RuleListPointer, std::string>, std::less<>> lists_;
  int compileCount_ = 0;
  std::optional<std::string> nextCompileError_;
};

class SimWebViews final : public WebViews {
public:
  SimWebViews(MainQueue& mainQueue, BackgroundQueue& background, SimJournal& journal)
      : mainQueue_(mainQueue), journal_(journal), store_(background, journal) {}

  std::unique_ptr<WebView> makeWebView(const WebViewConfiguration& configuration,
                                       WebViewPermissionHandlers handlers) override;
  ContentRuleListStore* defaultRuleListStore() override { return hasStore_ ? &store_ : nullptr; }

  // The most recent web view, or null when none was made.
  const std::shared_ptr<SimWebViewRecord>& lastView() const { return last_; }
  SimContentRuleListStore& store() { return store_; }
  void setHasRuleListStore(bool has) { hasStore_ = has; }
  // The page reports a new title.
  void setTitle(std::optional<std::string> title);
  // The page asks for a permission; the answer is recorded in the view.
  void requestMediaCapture(MediaCaptureType type);
  void requestGeolocation();
  void requestNotifications();

private:
  PermissionDecision recordDecision();

  MainQueue& mainQueue_;
  SimJournal& journal_;
  SimContentRuleListStore store_;
  bool hasStore_ = true;
  std::shared_ptr<SimWebViewRecord> last_;
};

std::string_view websiteDataTypeName(WebsiteDataType type);

} // namespace quillon
