#pragma once

#include "platform/PropertyValue.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct WebAppIdentity {
  // The display name, as typed.
  std::string name;
  // The executable's file name: webAppExecutableName(name).
  std::string executableName;
  std::string startAddress;
  // Empty for the one made from the executable name alone.
  std::string bundleIdentifier;
};

// Whether the usage descriptions are written in Russian: the creator's first
// preferred language ("en" when there is none) begins with "ru".
bool prefersRussian(const std::vector<std::string>& preferredLanguages);

// The localisations a web app declares: its creator's own without "Base",
// or "en" when that leaves none.
PropertyArray webAppLocalizations(const std::vector<std::string>& ownLocalizations);

// The information dictionary of a generated web app; the usage descriptions
// let the system ask for whatever the page asks for, in the creator's
// language.
PropertyDictionary makeWebAppInfoDictionary(const WebAppIdentity& identity,
                                            const std::vector<std::string>& ownLocalizations,
                                            bool russianDescriptions, bool iconAttached);

} // namespace quillon
