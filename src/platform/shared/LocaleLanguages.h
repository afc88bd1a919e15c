#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillon {

// Reads one environment variable; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The user's languages from the locale environment, most preferred first, as
// language tags ("ru-RU", "en"): LANGUAGE's list, else the first of LC_ALL,
// LC_MESSAGES and LANG that is set. The C and POSIX locales name no
// language; "en" when nothing names one.
std::vector<std::string> preferredLanguagesFromEnvironment(const EnvironmentLookup& lookup);

} // namespace quillon
