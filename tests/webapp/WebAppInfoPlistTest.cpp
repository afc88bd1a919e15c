#include "webapp/WebAppInfoPlist.h"

#include "platform/shared/PropertyListCodec.h"
#include "webapp/ContentBlocking.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillon {
namespace {

// The dictionary as a generated bundle carries it: serialised and read back
// through libplist.
PropertyDictionary writtenAndReadBack(const PropertyDictionary& info) {
  const auto xml = serializePropertyList(info);
  EXPECT_TRUE(xml);
  EXPECT_NE(xml->find("<?xml"), std::string::npos);
  const auto parsed = parsePropertyList(xml.value_or(""));
  EXPECT_TRUE(parsed && parsed->is<PropertyDictionary>());
  return parsed ? *parsed->get<PropertyDictionary>() : PropertyDictionary{};
}

TEST(WebAppInfoPlistTest, HoldsEveryKeyOfAGeneratedBundle) {
  const PropertyDictionary info = writtenAndReadBack(makeWebAppInfoDictionary(
      {"Моя Почта", "Моя_Почта", "https://mail.example.com"}, {"Base", "en", "ru"}, false, true));
  const PropertyDictionary expected{
      {"CFBundleName", "Моя Почта"},
      {"CFBundleDisplayName", "Моя Почта"},
      {"CFBundleIdentifier", "com.quillon.webapp.моя_почта"},
      {"CFBundleExecutable", "Моя_Почта"},
      {"CFBundleVersion", "1"},
      {"CFBundleShortVersionString", "1.0"},
      {"CFBundlePackageType", "APPL"},
      {"CFBundleInfoDictionaryVersion", "6.0"},
      {"CFBundleDevelopmentRegion", "en"},
      {"CFBundleLocalizations", PropertyArray{"en", "ru"}},
      {"LSMinimumSystemVersion", "13.0"},
      {"LSUIElement", false},
      {"NSPrincipalClass", "NSApplication"},
      {"NSHighResolutionCapable", true},
      {"QuillonWebAppURL", "https://mail.example.com"},
      {"CFBundleIconFile", "AppIcon"},
  };
  for (const auto& [key, value] : expected) {
    const auto found = info.find(key);
    ASSERT_NE(found, info.end()) << key;
    EXPECT_EQ(found->second, value) << key;
  }
  EXPECT_EQ(info.size(), expected.size() + 23);
  EXPECT_EQ(info.at("NSCameraUsageDescription"),
            PropertyValue("A web page in this web app is requesting camera access."));
  EXPECT_EQ(info.at("NSFocusStatusUsageDescription"),
            PropertyValue("A web page in this web app is requesting Focus / Do Not Disturb "
                          "status."));
}

TEST(WebAppInfoPlistTest, DescriptionsFollowTheCreatorsFirstLanguage) {
  EXPECT_TRUE(prefersRussian({"ru-RU", "en"}));
  EXPECT_TRUE(prefersRussian({"RU"}));
  EXPECT_FALSE(prefersRussian({"en-US", "ru"}));
  EXPECT_FALSE(prefersRussian({"de"}));
  EXPECT_FALSE(prefersRussian({}));
  const PropertyDictionary russian = writtenAndReadBack(
      makeWebAppInfoDictionary({"A", "A", "https://a.example"}, {}, true, false));
  EXPECT_EQ(russian.at("NSMicrophoneUsageDescription"),
            PropertyValue("Веб-страница, открытая в этом веб-приложении, запрашивает доступ к "
                          "микрофону."));
  EXPECT_EQ(russian.at("NSFocusStatusUsageDescription"),
            PropertyValue("Веб-страница, открытая в этом веб-приложении, запрашивает статус "
                          "режима «Не беспокоить»."));
  EXPECT_FALSE(russian.contains("CFBundleIconFile"));
}

TEST(WebAppInfoPlistTest, LocalizationsLeaveBaseOut) {
  EXPECT_EQ(webAppLocalizations({"Base"}), PropertyArray{"en"});
  EXPECT_EQ(webAppLocalizations({}), PropertyArray{"en"});
  EXPECT_EQ(webAppLocalizations({"ru", "Base", "de"}), (PropertyArray{"ru", "de"}));
}

TEST(ContentBlockingTest, TwentyEightBlocksThenOneHidingRule) {
  const nlohmann::json rules = nlohmann::json::parse(adBlockRulesJSON());
  ASSERT_EQ(rules.size(), 29u);
  for (std::size_t index = 0; index < 28; ++index) {
    EXPECT_EQ(rules[index]["action"], nlohmann::json({{"type", "block"}}));
    const std::string filter = rules[index]["trigger"]["url-filter"];
    // Every dot of a host pattern is escaped.
    for (std::size_t dot = filter.find('.'); dot != std::string::npos;
         dot = filter.find('.', dot + 1)) {
      EXPECT_EQ(filter[dot - 1], '\\') << filter;
    }
  }
  const nlohmann::json& hide = rules[28];
  EXPECT_EQ(hide["trigger"], nlohmann::json({{"url-filter", ".*"}}));
  EXPECT_EQ(hide["action"]["type"], "css-display-none");
  const std::string selector = hide["action"]["selector"];
  EXPECT_TRUE(selector.starts_with(".adsbygoogle, ins.adsbygoogle, [id*=\"google_ads\"], "
                                   "[id^=\"div-gpt-ad\"], iframe[src*=\""));
  EXPECT_TRUE(selector.ends_with(", .ya-partner__item, .banner_ads, [class*=\"taboola\"], "
                                 "[id*=\"taboola\"], [class*=\"outbrain\"], [id*=\"outbrain\"], "
                                 "[id^=\"yandex_rtb\"]"));
  std::size_t commas = 0;
  for (std::size_t at = selector.find(", "); at != std::string::npos;
       at = selector.find(", ", at + 2)) {
    ++commas;
  }
  EXPECT_EQ(commas, 14u);
}

} // namespace
} // namespace quillon
