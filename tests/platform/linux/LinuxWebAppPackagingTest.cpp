#include "platform/linux/LinuxWebAppPackaging.h"

#include "platform/linux/webkit/ContentRuleSplitter.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimLog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <gio/gdesktopappinfo.h>
#include <glib.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, std::string_view text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// A web app installed in a home of its own, its icon pictures drawn.
class LinuxWebAppPackagingTest : public ::testing::Test {
protected:
  InstalledWebApp install(const std::string& folderName, const std::string& identifier,
                          bool withIcon = true) {
    const fs::path bundle = home.path() / "Applications" / (folderName + ".app");
    const fs::path executable = bundle / "Contents" / "MacOS" / "App";
    writeFile(executable, "binary");
    fs::permissions(executable, fs::perms::owner_all);
    if (withIcon) {
      const fs::path drawn = home.path() / "drawn";
      for (const AppIconImage& image : packaging.iconImages()) {
        writeFile(drawn / image.fileName, "png " + std::to_string(image.pixels));
      }
      EXPECT_TRUE(packaging.makeAppIcon(drawn, bundle / "Contents" / "Resources"));
      fs::remove_all(drawn);
    }
    return {bundle, executable, identifier, folderName, withIcon};
  }

  std::string keyOf(const fs::path& launcher, const char* key) {
    GKeyFile* file = g_key_file_new();
    std::string value;
    if (g_key_file_load_from_file(file, launcher.c_str(), G_KEY_FILE_NONE, nullptr)) {
      gchar* text = g_key_file_get_string(file, "Desktop Entry", key, nullptr);
      value = text != nullptr ? text : "";
      g_free(text);
    }
    g_key_file_free(file);
    return value;
  }

  TemporaryDirectory home{"quillon-webapp-launcher"};
  WebAppFolders folders{home.path() / "share"};
  SimLog log;
  LinuxWebAppPackaging packaging{folders, log};
};

// What the desktop runs for a launcher, as GIO (the menus of most
// desktops) reads it: one argument, the program; empty when GIO refuses it.
std::string programOfLauncher(const fs::path& launcher) {
  GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(launcher.c_str());
  if (info == nullptr) {
    return {};
  }
  const std::string exec = g_app_info_get_commandline(G_APP_INFO(info));
  g_object_unref(info);
  std::string unpercented;
  for (std::size_t at = 0; at < exec.size(); ++at) {
    unpercented += exec[at];
    at += exec[at] == '%' && at + 1 < exec.size() && exec[at + 1] == '%' ? 1 : 0;
  }
  gchar** argv = nullptr;
  gint argc = 0;
  std::string program;
  if (g_shell_parse_argv(unpercented.c_str(), &argc, &argv, nullptr) && argc == 1) {
    program = fs::canonical(argv[0]).string();
  }
  g_strfreev(argv);
  return program;
}

TEST_F(LinuxWebAppPackagingTest, PublishesHicolorIconsAndAValidLauncherThatRunsTheBundle) {
  // Every character a path may hold that the launcher format or its Exec
  // quoting could misread.
  const InstalledWebApp app = install("Mail \"$HOME\" `x` \\ it's", "com.quillon.webapp.mail");
  ASSERT_EQ(packaging.publish(app), std::nullopt);

  for (const AppIconImage& image : packaging.iconImages()) {
    EXPECT_TRUE(fs::exists(folders.icon(image.pixels, app.identifier))) << image.pixels;
  }
  const fs::path launcher = folders.launcher(app.identifier);
  const std::string validate = "desktop-file-validate '" + launcher.string() + "' >/dev/null";
  EXPECT_EQ(std::system(validate.c_str()), 0);
  EXPECT_EQ(keyOf(launcher, "Icon"), app.identifier);
  EXPECT_EQ(keyOf(launcher, "StartupWMClass"), app.identifier);
  EXPECT_EQ(keyOf(launcher, "Name"), app.name);
  EXPECT_EQ(programOfLauncher(launcher), fs::canonical(app.executable).string());
  EXPECT_TRUE(log.contains("Quillon webapp: launcher written for com.quillon.webapp.mail"));

  // A percent sign in the path would hide the launcher from GIO's menus.
  const InstalledWebApp percent = install("100% Mail", "com.quillon.webapp.percent");
  ASSERT_EQ(packaging.publish(percent), std::nullopt);
  EXPECT_EQ(programOfLauncher(folders.launcher(percent.identifier)),
            fs::canonical(percent.executable).string());
}

TEST_F(LinuxWebAppPackagingTest, WithoutAnIconTheLauncherUsesAThemeIconAndWritesNoPictures) {
  const InstalledWebApp app = install("Plain", "com.quillon.webapp.plain", false);
  ASSERT_EQ(packaging.publish(app), std::nullopt);
  EXPECT_EQ(keyOf(folders.launcher(app.identifier), "Icon"), "applications-internet");
  EXPECT_FALSE(fs::exists(folders.hicolor()));
}

TEST_F(LinuxWebAppPackagingTest, WithdrawingAndRemovingBundlesTakeTheirLaunchersBack) {
  const InstalledWebApp kept = install("Kept", "com.quillon.webapp.kept");
  const InstalledWebApp removed = install("Removed", "com.quillon.webapp.removed");
  const InstalledWebApp withdrawn = install("Withdrawn", "com.quillon.webapp.withdrawn");
  ASSERT_EQ(packaging.publish(kept), std::nullopt);
  ASSERT_EQ(packaging.publish(removed), std::nullopt);
  ASSERT_EQ(packaging.publish(withdrawn), std::nullopt);
  // Someone else's launcher, with no bundle of ours, is never touched.
  writeFile(folders.applications() / "other.desktop", "[Desktop Entry]\nType=Application\n");

  packaging.withdraw(withdrawn.identifier);
  EXPECT_FALSE(fs::exists(folders.launcher(withdrawn.identifier)));
  EXPECT_FALSE(fs::exists(folders.icon(48, withdrawn.identifier)));

  fs::remove_all(removed.bundle);
  packaging.withdrawOrphans();
  EXPECT_FALSE(fs::exists(folders.launcher(removed.identifier)));
  EXPECT_FALSE(fs::exists(folders.icon(256, removed.identifier)));
  EXPECT_TRUE(fs::exists(folders.launcher(kept.identifier)));
  EXPECT_TRUE(fs::exists(folders.icon(256, kept.identifier)));
  EXPECT_TRUE(fs::exists(folders.applications() / "other.desktop"));
}

TEST_F(LinuxWebAppPackagingTest, RefusesIdentifiersThatWouldLeaveTheSharedFolders) {
  for (const std::string identifier : {"", ".", "..", "../../evil", "a/b", ".hidden"}) {
    EXPECT_FALSE(isSafeWebAppIdentifier(identifier)) << identifier;
    InstalledWebApp app = install("Evil", "x");
    app.identifier = identifier;
    EXPECT_NE(packaging.publish(app), std::nullopt) << identifier;
  }
  EXPECT_TRUE(isSafeWebAppIdentifier("com.quillon.webapp.почта"));
  EXPECT_FALSE(fs::exists(folders.applications()));
}

TEST_F(LinuxWebAppPackagingTest, AMissingPictureLeavesNoHalfIcon) {
  const fs::path drawn = home.path() / "drawn";
  writeFile(drawn / "16x16.png", "png");
  const fs::path resources = home.path() / "Resources";
  EXPECT_FALSE(packaging.makeAppIcon(drawn, resources));
  EXPECT_FALSE(fs::exists(resources / "hicolor"));
}

TEST(ContentRuleSplitterTest, SplitsEveryAlternationIntoPlainFilters) {
  using Filters = std::vector<std::string>;
  EXPECT_EQ(splitAlternation("ads\\.example\\.com"), Filters{"ads\\.example\\.com"});
  EXPECT_EQ(splitAlternation("(ads|track)\\.example\\.com"),
            (Filters{"ads\\.example\\.com", "track\\.example\\.com"}));
  EXPECT_EQ(splitAlternation("a|b|c"), (Filters{"a", "b", "c"}));
  EXPECT_EQ(splitAlternation("(x|y)-(1|2)"), (Filters{"x-1", "x-2", "y-1", "y-2"}));
  EXPECT_EQ(splitAlternation("(ad(s|v)|pixel)\\."), (Filters{"ads\\.", "pixel\\.", "adv\\."}));
  // Escaped bars and bars in a character class are characters.
  EXPECT_EQ(splitAlternation("a\\|b[|]c"), Filters{"a\\|b[|]c"});
}

TEST(ContentRuleSplitterTest, SplitsOnlyTheRulesThatAlternateAndKeepsTheirActions) {
  const std::string rules =
      R"([{"trigger":{"url-filter":"(ads|pixel)\\.x\\.com"},"action":{"type":"block"}},)"
      R"({"trigger":{"url-filter":".*"},"action":{"type":"css-display-none","selector":".a"}}])";
  const auto split = splitAlternatingRules(rules);
  ASSERT_TRUE(split);
  const auto json = nlohmann::json::parse(*split);
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[0]["trigger"]["url-filter"], "ads\\.x\\.com");
  EXPECT_EQ(json[1]["trigger"]["url-filter"], "pixel\\.x\\.com");
  EXPECT_EQ(json[1]["action"]["type"], "block");
  EXPECT_EQ(json[2]["action"]["selector"], ".a");
  EXPECT_EQ(splitAlternatingRules("{not rules"), std::nullopt);
}

} // namespace
} // namespace quillon
