#include "platform/linux/webkit/ContentRuleSplitter.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace quillon {

namespace {

struct Group {
  std::size_t open = 0;
  std::size_t close = 0;
  std::vector<std::size_t> bars;
};

// Escaped characters and character classes never alternate.
std::size_t skipLiteral(std::string_view filter, std::size_t at) {
  if (filter[at] == '\\') {
    return at + 2;
  }
  if (filter[at] == '[') {
    std::size_t end = at + 1;
    while (end < filter.size() && filter[end] != ']') {
      end += filter[end] == '\\' ? 2 : 1;
    }
    return end + 1;
  }
  return at + 1;
}

// The first group (or the whole filter, open = npos) with a "|" directly
// inside it, innermost groups first.
std::optional<Group> firstAlternation(std::string_view filter) {
  std::vector<Group> open{{std::string_view::npos, filter.size(), {}}};
  for (std::size_t at = 0; at < filter.size();) {
    const char c = filter[at];
    if (c == '(') {
      open.push_back({at, 0, {}});
    } else if (c == ')' && open.size() > 1) {
      Group group = open.back();
      open.pop_back();
      group.close = at;
      if (!group.bars.empty()) {
        return group;
      }
    } else if (c == '|') {
      open.back().bars.push_back(at);
    }
    at = skipLiteral(filter, at);
  }
  if (open.size() == 1 && !open.front().bars.empty()) {
    return open.front();
  }
  return std::nullopt;
}

} // namespace

std::vector<std::string> splitAlternation(std::string_view filter) {
  const auto group = firstAlternation(filter);
  if (!group) {
    return {std::string(filter)};
  }
  const bool whole = group->open == std::string_view::npos;
  const std::size_t begin = whole ? 0 : group->open + 1;
  const std::string_view before = whole ? std::string_view() : filter.substr(0, group->open);
  const std::string_view after = whole ? std::string_view() : filter.substr(group->close + 1);
  std::vector<std::string> alternatives;
  std::size_t from = begin;
  std::vector<std::size_t> ends = group->bars;
  ends.push_back(group->close);
  for (const std::size_t end : ends) {
    const std::string joined =
        std::string(before) + std::string(filter.substr(from, end - from)) + std::string(after);
    for (std::string& split : splitAlternation(joined)) {
      // Nested groups can spell one alternative twice.
      if (std::find(alternatives.begin(), alternatives.end(), split) == alternatives.end()) {
        alternatives.push_back(std::move(split));
      }
    }
    from = end + 1;
  }
  return alternatives;
}

std::optional<std::string> splitAlternatingRules(std::string_view rulesJson) {
  const nlohmann::json rules = nlohmann::json::parse(rulesJson, nullptr, false);
  if (!rules.is_array()) {
    return std::nullopt;
  }
  nlohmann::json split = nlohmann::json::array();
  for (const nlohmann::json& rule : rules) {
    const auto trigger = rule.find("trigger");
    if (trigger == rule.end() || !trigger->is_object() || !trigger->contains("url-filter") ||
        !(*trigger)["url-filter"].is_string()) {
      split.push_back(rule);
      continue;
    }
    for (const std::string& filter :
         splitAlternation((*trigger)["url-filter"].get<std::string>())) {
      nlohmann::json copy = rule;
      copy["trigger"]["url-filter"] = filter;
      split.push_back(std::move(copy));
    }
  }
  return split.dump();
}

} // namespace quillon
