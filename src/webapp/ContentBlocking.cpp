#include "webapp/ContentBlocking.h"

#include <nlohmann/json.hpp>

#include <array>
#include <variant>
#include <vector>

namespace quillon {

namespace {

struct Trigger {
  std::string urlFilter;
};

struct Block {};
struct CssHide {
  std::string selector;
};
using Action = std::variant<Block, CssHide>;

struct Rule {
  Trigger trigger;
  Action action;
};

void to_json(nlohmann::json& json, const Trigger& trigger) {
  json = {{"url-filter", trigger.urlFilter}};
}

void to_json(nlohmann::json& json, const Action& action) {
  if (const auto* hide = std::get_if<CssHide>(&action)) {
    json = {{"type", "css-display-none"}, {"selector", hide->selector}};
    return;
  }
  json = {{"type", "block"}};
}

void to_json(nlohmann::json& json, const Rule& rule) {
  json = {{"trigger", rule.trigger}, {"action", rule.action}};
}

// Dots escaped, as the filters are regular expressions; a pattern ending in
// an escaped dot matches the network under every top-level domain.
constexpr std::array<std::string_view, 28> blockedHostPatterns{
    "doubleclick\\.net",
    "googlesyndication\\.com",
    "googleadservices\\.com",
    "google-analytics\\.com",
    "googletagmanager\\.com",
    "googletagservices\\.com",
    "adservice\\.google\\.",
    "pagead2\\.googlesyndication\\.com",
    "amazon-adsystem\\.com",
    "adnxs\\.com",
    "criteo\\.com",
    "criteo\\.net",
    "taboola\\.com",
    "outbrain\\.com",
    "scorecardresearch\\.com",
    "quantserve\\.com",
    "adsrvr\\.org",
    "rubiconproject\\.com",
    "pubmatic\\.com",
    "openx\\.net",
    "casalemedia\\.com",
    "moatads\\.com",
    "an\\.yandex\\.",
    "mc\\.yandex\\.",
    "yandexadexchange\\.net",
    "adfox\\.",
    "ads\\.vk\\.com",
    "top-fwz1\\.mail\\.ru",
};

constexpr std::array<std::string_view, 15> hiddenSelectors{
    ".adsbygoogle",
    "ins.adsbygoogle",
    "[id*=\"google_ads\"]",
    "[id^=\"div-gpt-ad\"]",
    "iframe[src*=\"doubleclick.net\"]",
    "iframe[src*=\"googlesyndication.com\"]",
    "iframe[src*=\"amazon-adsystem.com\"]",
    "iframe[src*=\"an.yandex.ru\"]",
    ".ya-partner__item",
    ".banner_ads",
    "[class*=\"taboola\"]",
    "[id*=\"taboola\"]",
    "[class*=\"outbrain\"]",
    "[id*=\"outbrain\"]",
    "[id^=\"yandex_rtb\"]",
};

std::vector<Rule> adBlockRules() {
  std::vector<Rule> rules;
  for (const std::string_view pattern : blockedHostPatterns) {
    rules.push_back({{std::string(pattern)}, Block{}});
  }
  std::string selectors;
  for (const std::string_view selector : hiddenSelectors) {
    selectors += (selectors.empty() ? "" : ", ") + std::string(selector);
  }
  rules.push_back({{".*"}, CssHide{selectors}});
  return rules;
}

} // namespace

const std::string& adBlockRulesJSON() {
  static const std::string json = nlohmann::json(adBlockRules()).dump();
  return json;
}

} // namespace quillon
