#include "core/Settings.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <map>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";

class SettingsTest : public ::testing::Test {
protected:
  SimDesktop desktop;
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), std::string(domain)), notifications};
};

TEST_F(SettingsTest, FreshInstallationReadsTheDocumentedDefaults) {
  const std::map<std::string_view, bool> expected{
      {"languageSwitchEnabled", true},       {"copyKeysEnabled", true},
      {"autoEnableOnLaunch", true},          {"autoSwitchLayoutEnabled", true},
      {"sleepBlockerEnabled", false},        {"punctuationRemapsEnabled", true},
      {"invertMouseWheelEnabled", false},    {"invertTrackpadScrollEnabled", false},
      {"folderPeekEnabled", true},           {"desktopFolderIconsEnabled", true},
      {"autoSnapMouseDragEnabled", true},    {"restoreWindowPositionsEnabled", false},
      {"oneCDoubleClickToF2Enabled", false}, {"dictionaryCorrectionEnabled", false},
  };
  ASSERT_EQ(Settings::allKeys().size(), expected.size());
  for (const Settings::Key key : Settings::allKeys()) {
    const auto name = Settings::name(key);
    ASSERT_TRUE(expected.contains(name)) << name;
    EXPECT_EQ(settings.value(key), expected.at(name)) << name;
    EXPECT_EQ(Settings::keyNamed(name), key);
  }
  // Reading never writes the default back.
  EXPECT_FALSE(desktop.defaults().object(domain, "languageSwitchEnabled"));
}

TEST_F(SettingsTest, NonBooleanValuesReadAsTheDefault) {
  for (const PropertyValue& stored :
       {PropertyValue("false"), PropertyValue(0), PropertyValue(1), PropertyValue(0.0),
        PropertyValue(PropertyArray{false}), PropertyValue(PropertyDictionary{})}) {
    desktop.defaults().set(domain, "languageSwitchEnabled", stored);
    desktop.defaults().set(domain, "sleepBlockerEnabled", stored);
    EXPECT_TRUE(settings.languageSwitchEnabled());
    EXPECT_FALSE(settings.sleepBlockerEnabled());
  }
  // The odd value stays stored: only the reading falls back.
  EXPECT_EQ(desktop.defaults().object(domain, "sleepBlockerEnabled"),
            PropertyValue(PropertyDictionary{}));
}

TEST_F(SettingsTest, SetPostsOnceAfterTheValueIsReadable) {
  std::vector<bool> seenByObserver;
  auto observation = notifications.observe(Settings::ChangedNotification, [&] {
    seenByObserver.push_back(settings.folderPeekEnabled());
  });
  settings.set(false, Settings::Key::folderPeekEnabled);
  EXPECT_EQ(seenByObserver, std::vector<bool>{false});
  settings.set(false, Settings::Key::folderPeekEnabled);
  EXPECT_EQ(seenByObserver, (std::vector<bool>{false, false}));

  observation.stop();
  settings.set(true, Settings::Key::folderPeekEnabled);
  EXPECT_EQ(seenByObserver.size(), 2u);
}

TEST_F(SettingsTest, ValuesSurviveANewProcess) {
  settings.set(true, Settings::Key::restoreWindowPositionsEnabled);
  settings.set(false, Settings::Key::copyKeysEnabled);

  SimDesktop::Options options;
  options.defaultsRoot = desktop.defaultsRoot();
  SimDesktop relaunched(options);
  NotificationCenter otherCenter;
  Settings reread(DefaultsDomain(relaunched.defaults(), std::string(domain)), otherCenter);
  EXPECT_TRUE(reread.restoreWindowPositionsEnabled());
  EXPECT_FALSE(reread.copyKeysEnabled());
}

TEST(NotificationCenterTest, ObserversMayStopThemselvesAndOthersWhilePosting) {
  NotificationCenter center;
  int first = 0;
  int second = 0;
  NotificationCenter::Observation secondObservation;
  NotificationCenter::Observation firstObservation = center.observe("n", [&] {
    ++first;
    secondObservation.stop();
    firstObservation.stop();
  });
  secondObservation = center.observe("n", [&] { ++second; });
  center.post("n");
  center.post("n");
  center.post("other");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
}

TEST(NotificationCenterTest, AnObservationOutlivingItsCenterIsHarmless) {
  NotificationCenter::Observation observation;
  {
    NotificationCenter center;
    observation = center.observe("n", [] {});
  }
  observation.stop();
  SUCCEED();
}

} // namespace
} // namespace quillon
