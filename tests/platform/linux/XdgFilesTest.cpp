#include "platform/linux/LinuxLoginItems.h"
#include "platform/linux/XdgDefaults.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& file, std::string_view text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

TEST(XdgBaseDirectoriesTest, ConfigHomeWinsOnlyWhenAbsolute) {
  EXPECT_EQ((XdgBaseDirectories{"/home/u", "/cfg"}.quillonConfigDirectory()), "/cfg/quillon");
  EXPECT_EQ((XdgBaseDirectories{"/home/u", "relative"}.autostartDirectory()),
            "/home/u/.config/autostart");
  EXPECT_EQ((XdgBaseDirectories{"/home/u", ""}.configDirectory()), "/home/u/.config");
  EXPECT_EQ((XdgBaseDirectories{std::nullopt, std::nullopt}.configDirectory()), std::nullopt);
}

class XdgDefaultsTest : public ::testing::Test {
protected:
  TemporaryDirectory home_;
  XdgBaseDirectories directories_{home_.path().string(), (home_.path() / "config").string()};
  SimLog log_;
};

TEST_F(XdgDefaultsTest, SettingsSurviveARestartInTheProductsConfigFolder) {
  {
    XdgDefaults defaults(directories_, log_);
    EXPECT_TRUE(defaults.set("com.quillon.app", "autoSwitchLayoutEnabled", true));
    EXPECT_TRUE(defaults.set("com.quillon.app", "Name", std::string("Привет")));
  }
  EXPECT_TRUE(fs::is_regular_file(home_.path() / "config/quillon/com.quillon.app.plist"));
  XdgDefaults reopened(directories_, log_);
  EXPECT_EQ(reopened.object("com.quillon.app", "autoSwitchLayoutEnabled"), PropertyValue(true));
  EXPECT_EQ(reopened.object("com.quillon.app", "Name"), PropertyValue(std::string("Привет")));
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(XdgDefaultsTest, ACorruptFileIsLoggedAndKeptAsideNotOverwritten) {
  const fs::path file = home_.path() / "config/quillon/com.quillon.app.plist";
  constexpr std::string_view corrupt = "<?xml version=\"1.0\"?><plist><dict><key>broken";
  writeFile(file, corrupt);
  XdgDefaults defaults(directories_, log_);
  EXPECT_EQ(defaults.object("com.quillon.app", "autoSwitchLayoutEnabled"), std::nullopt);
  EXPECT_TRUE(defaults.set("com.quillon.app", "autoSwitchLayoutEnabled", true));

  const auto lines = log_.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::StartsWith("Quillon: defaults domain com.quillon.app was "
                                              "unreadable; moved it aside to "));
  const fs::path aside = lines[0].substr(lines[0].rfind(' ') + 1);
  EXPECT_EQ(contentsOf(aside), corrupt);
  EXPECT_EQ(XdgDefaults(directories_, log_).object("com.quillon.app", "autoSwitchLayoutEnabled"),
            PropertyValue(true));
}

TEST(XdgDefaultsWithoutHomeTest, KeepsValuesInMemoryAndSaysSo) {
  SimLog log;
  XdgDefaults defaults(XdgBaseDirectories{}, log);
  EXPECT_FALSE(defaults.set("app", "Key", 3));
  EXPECT_EQ(defaults.object("app", "Key"), PropertyValue(3));
  EXPECT_FALSE(defaults.remove("app", "Key"));
  EXPECT_EQ(defaults.object("app", "Key"), std::nullopt);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Quillon: neither XDG_CONFIG_HOME nor HOME "
                                                  "names a folder; settings are kept in memory "
                                                  "only"});
}

class LinuxLoginItemsTest : public ::testing::Test {
protected:
  fs::path entry() const { return home_.path() / "autostart/quillon.desktop"; }
  TemporaryDirectory home_;
};

TEST_F(LinuxLoginItemsTest, RegisteringWritesAnAutostartEntryAndUnregisteringRemovesIt) {
  LinuxLoginItems items(home_.path() / "autostart", "/opt/quillon/bin/quillon");
  EXPECT_EQ(items.status(), LoginItemStatus::NotRegistered);
  EXPECT_EQ(items.registerApplication(), std::nullopt);
  EXPECT_EQ(items.status(), LoginItemStatus::Enabled);
  EXPECT_EQ(contentsOf(entry()),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Quillon\n"
            "Comment=English and Russian layout correction, keyboard remaps and window snapping\n"
            "Exec=/opt/quillon/bin/quillon\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(items.unregisterApplication(), std::nullopt);
  EXPECT_FALSE(fs::exists(entry()));
  EXPECT_EQ(items.unregisterApplication(), std::nullopt) << "already gone is no failure";
}

TEST_F(LinuxLoginItemsTest, AnExecutablePathWithSpecialCharactersIsQuotedAndValid) {
  const fs::path executable = "/home/a b/$HOME/100% \"q\\x`\"/quillon";
  LinuxLoginItems items(home_.path() / "autostart", executable);
  ASSERT_EQ(items.registerApplication(), std::nullopt);
  EXPECT_THAT(contentsOf(entry()),
              ::testing::HasSubstr(R"(Exec="/home/a b/\\$HOME/100%% \\"q\\\\x\\`\\"/quillon")"
                                   "\n"));
  if (!fs::exists("/usr/bin/desktop-file-validate")) {
    GTEST_SKIP() << "desktop-file-validate is not installed (Debian: desktop-file-utils)";
  }
  const std::string command = "/usr/bin/desktop-file-validate '" + entry().string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(LinuxLoginItemsTest, AnEntryHiddenByTheSessionCountsAsOffUntilRegisteredAgain) {
  writeFile(entry(), "[Desktop Entry]\nType=Application\nName=Quillon\nExec=q\nHidden=true\n");
  LinuxLoginItems items(home_.path() / "autostart", "/usr/bin/quillon");
  EXPECT_EQ(items.status(), LoginItemStatus::NotRegistered);
  EXPECT_EQ(items.registerApplication(), std::nullopt);
  EXPECT_EQ(items.status(), LoginItemStatus::Enabled);
  writeFile(entry(), "[Desktop Entry]\nType=Application\nName=Quillon\nExec=q\n"
                     "X-GNOME-Autostart-enabled=false\n");
  EXPECT_EQ(items.status(), LoginItemStatus::NotRegistered);
}

TEST_F(LinuxLoginItemsTest, AFolderThatCannotBeCreatedIsReportedAsTheFailure) {
  writeFile(home_.path() / "autostart", "a file where the folder should be");
  LinuxLoginItems items(home_.path() / "autostart", "/usr/bin/quillon");
  const auto failure = items.registerApplication();
  ASSERT_TRUE(failure);
  EXPECT_THAT(failure->description, ::testing::HasSubstr("autostart"));
  EXPECT_EQ(items.status(), LoginItemStatus::NotRegistered);
  EXPECT_TRUE(LinuxLoginItems(std::nullopt, "/usr/bin/quillon").registerApplication());
}

} // namespace
} // namespace quillon
