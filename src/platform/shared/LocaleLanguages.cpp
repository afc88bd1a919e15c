#include "platform/shared/LocaleLanguages.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillon {

namespace {

constexpr std::string_view fallbackLanguage = "en";

// "ru_RU.UTF-8@euro" gives "ru-RU"; the C locales give nothing.
std::string languageTag(std::string_view locale) {
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale.empty() || locale == "C" || locale == "POSIX") {
    return {};
  }
  std::string tag(locale);
  std::replace(tag.begin(), tag.end(), '_', '-');
  return tag;
}

std::vector<std::string> languagesOf(std::string_view list) {
  std::vector<std::string> languages;
  while (!list.empty()) {
    const auto end = std::min(list.find(':'), list.size());
    std::string tag = languageTag(list.substr(0, end));
    if (!tag.empty() && std::find(languages.begin(), languages.end(), tag) == languages.end()) {
      languages.push_back(std::move(tag));
    }
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return languages;
}

} // namespace

std::vector<std::string> preferredLanguagesFromEnvironment(const EnvironmentLookup& lookup) {
  // The order GLib and gettext consult them in.
  constexpr std::array<const char*, 4> variables{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* variable : variables) {
    const char* value = lookup(variable);
    if (value == nullptr || *value == '\0') {
      continue;
    }
    std::vector<std::string> languages = languagesOf(value);
    if (!languages.empty()) {
      return languages;
    }
    // LANGUAGE=C or LC_ALL=C: the user asked for no translation.
    return {std::string(fallbackLanguage)};
  }
  return {std::string(fallbackLanguage)};
}

} // namespace quillon
