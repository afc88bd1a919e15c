#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// sanitize(name), shortened when the bundle identifier made from it would be
// longer than a defaults file may be named: the web app's settings live in
// the domain named by its identifier, and then in a file of that very name. A
// shortened name ends in a short hash of the full name, so two long names
// that share a beginning stay apart.
std::string webAppExecutableName(std::string_view name);

// "com.quillon.webapp." and the executable name in lower case, with "-2",
// "-3", … appended while an installed web app already has it.
std::string uniqueWebAppIdentifier(std::string_view executableName,
                                   const std::set<std::string, std::less<>>& taken);

// The bundle identifiers of the web apps installed in these folders, except
// the bundles named keptName + ".app", which a new build replaces.
std::set<std::string, std::less<>>
installedWebAppIdentifiers(const std::vector<std::filesystem::path>& folders,
                           std::string_view keptName);

// The identifier of an installed web app, when the bundle is one of ours.
std::optional<std::string> installedWebAppIdentifier(const std::filesystem::path& bundle);

} // namespace quillon
