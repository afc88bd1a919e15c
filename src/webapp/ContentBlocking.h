#pragma once

#include <string>
#include <string_view>

namespace quillon {

inline constexpr std::string_view AdBlockRuleListIdentifier = "QuillonAdBlock-v1";

// The content-blocking rules as the web view's rule compiler reads them: 28
// rules blocking advertising and tracking hosts, then one rule hiding ad
// elements on every page. Built once per process.
const std::string& adBlockRulesJSON();

} // namespace quillon
