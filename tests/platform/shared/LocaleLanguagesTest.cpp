#include "platform/shared/LocaleLanguages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillon {
namespace {

std::vector<std::string> languagesWith(const std::map<std::string, std::string>& environment) {
  return preferredLanguagesFromEnvironment([&environment](const char* name) -> const char* {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  });
}

TEST(LocaleLanguagesTest, ReadsTheVariablesInGettextsOrder) {
  using List = std::vector<std::string>;
  EXPECT_EQ(languagesWith({}), List{"en"});
  EXPECT_EQ(languagesWith({{"LANG", "ru_RU.UTF-8"}}), List{"ru-RU"});
  EXPECT_EQ(languagesWith({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ru_RU.UTF-8"}}),
            List{"ru-RU"});
  EXPECT_EQ(languagesWith({{"LC_MESSAGES", "en_GB"}, {"LC_ALL", "ru_UA.KOI8-U@euro"}}),
            List{"ru-UA"});
  EXPECT_EQ(languagesWith({{"LANGUAGE", "ru:en_US:ru"}, {"LC_ALL", "de_DE.UTF-8"}}),
            (List{"ru", "en-US"}));
  // Set but empty counts as not set.
  EXPECT_EQ(languagesWith({{"LANGUAGE", ""}, {"LANG", "ru_RU.UTF-8"}}), List{"ru-RU"});
  // The C locale asks for no translation.
  EXPECT_EQ(languagesWith({{"LC_ALL", "C"}, {"LANG", "ru_RU.UTF-8"}}), List{"en"});
  EXPECT_EQ(languagesWith({{"LANG", "C.UTF-8"}}), List{"en"});
  EXPECT_EQ(languagesWith({{"LANGUAGE", "::"}, {"LANG", "POSIX"}}), List{"en"});
}

} // namespace
} // namespace quillon
