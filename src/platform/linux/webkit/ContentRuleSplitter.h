#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The alternatives of a url-filter written with "|": WebKit's compiler
// refuses disjunctions, but a rule per alternative blocks the same
// addresses. A filter without one answers itself.
std::vector<std::string> splitAlternation(std::string_view filter);

// The same rule list with every rule whose url-filter alternates split into
// one rule per alternative; nothing when the text is not a list of rules.
std::optional<std::string> splitAlternatingRules(std::string_view rulesJson);

} // namespace quillon
