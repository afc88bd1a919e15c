#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// A keyboard layout as xkb names it: "us" and "", or "us" and "intl".
struct XkbLayoutName {
  std::string layout;
  std::string variant;
};

// The languages xkb's registry gives layouts: one entry per name, in order,
// the first ISO 639 code the registry lists for it, or nothing where it
// lists none or does not know the layout. Where the registry cannot be read
// at all, every entry is empty and error says why.
//
// The registry's library is opened for the reading and closed after it: it
// brings libxml2, about 1 MB of resident memory the running product would
// otherwise carry for nothing.
std::vector<std::optional<std::string>> registryLanguages(const std::vector<XkbLayoutName>& names,
                                                          std::string& error);

} // namespace quillon
