#include "capture/ScreenCaptureLocationSetup.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class ScreenCaptureLocationSetupTest : public ::testing::Test {
protected:
  std::optional<PropertyValue> location() {
    return desktop.platform().defaults.object("com.apple.screencapture", "location");
  }

  SimDesktop desktop;
  std::string target = (*desktop.directories().documents() / "Parlando Files" / "screen").string();
  ScreenCaptureLocationSetup setup{desktop.directories(), desktop.defaults(), desktop.log()};
};

TEST_F(ScreenCaptureLocationSetupTest, AnAbsentLocationIsSetFromTheDesktopDefault) {
  setup.ensureLocation();
  EXPECT_EQ(location(), PropertyValue(target));
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon captureLoc: changing location from '<default ~/Desktop>' to '" + target +
                  "'"});
  // Already right: not a word, not a write.
  setup.ensureLocation();
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
}

TEST_F(ScreenCaptureLocationSetupTest, AnyOtherValueIsReplaced) {
  desktop.defaults().set("com.apple.screencapture", "location", PropertyValue("/Users/me/Pics"));
  setup.ensureLocation();
  desktop.defaults().set("com.apple.screencapture", "location", PropertyValue(42));
  setup.ensureLocation();
  EXPECT_EQ(location(), PropertyValue(target));
  EXPECT_EQ(
      desktop.log().takeNewLines(),
      (Lines{"Quillon captureLoc: changing location from '/Users/me/Pics' to '" + target + "'",
             "Quillon captureLoc: changing location from '<default ~/Desktop>' to '" + target +
                 "'"}));
}

TEST_F(ScreenCaptureLocationSetupTest, WithoutTheFolderTheSettingStaysAsItWas) {
  desktop.defaults().set("com.apple.screencapture", "location", PropertyValue("/Users/me/Pics"));
  std::ofstream(*desktop.directories().documents() / "Parlando Files") << "in the way";
  setup.ensureLocation();
  desktop.directories().setDocumentsNamed(false);
  setup.ensureLocation();
  EXPECT_EQ(location(), PropertyValue("/Users/me/Pics"));
  const Lines lines = desktop.log().takeNewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("Quillon captureLoc: cannot create " + target + ": "));
  EXPECT_EQ(lines[1], "Quillon captureLoc: cannot resolve ~/Documents");
}

} // namespace
} // namespace quillon
