#include "platform/linux/XdgUserDirectories.h"

#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

class XdgUserDirectoriesTest : public ::testing::Test {
protected:
  void write(const std::filesystem::path& folder, const std::string& text) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "user-dirs.dirs") << text;
  }
};

TEST_F(XdgUserDirectoriesTest, TheNamedFolderIsFoundUnderHomeOrAbsolute) {
  const std::filesystem::path home = "/home/anna";
  const TemporaryDirectory scratch("xdg-user-dirs");
  const auto config = scratch.path() / "config";
  write(config, "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n"
                "XDG_MUSIC_DIR=\"/srv/music\"\n"
                "XDG_VIDEOS_DIR=\"$HOME/\"\n"
                "XDG_PICTURES_DIR=\"$HOME/../other\"\n");
  EXPECT_EQ(xdgUserDirectory(home, config.string(), "XDG_DOCUMENTS_DIR"), home / "Документы");
  EXPECT_EQ(xdgUserDirectory(home, config.string(), "XDG_MUSIC_DIR"),
            std::filesystem::path("/srv/music"));
  // A folder turned off, or leading out of home, is no answer: the caller
  // falls back on its own default.
  EXPECT_EQ(xdgUserDirectory(home, config.string(), "XDG_VIDEOS_DIR"), std::nullopt);
  EXPECT_EQ(xdgUserDirectory(home, config.string(), "XDG_PICTURES_DIR"), std::nullopt);
  // A name that only begins like another is not that one.
  EXPECT_EQ(xdgUserDirectory(home, config.string(), "XDG_DOCUMENTS"), std::nullopt);
}

TEST_F(XdgUserDirectoriesTest, WithoutASettingsFileNothingIsNamed) {
  const TemporaryDirectory scratch("xdg-user-dirs");
  EXPECT_EQ(xdgUserDirectory(scratch.path(), "", "XDG_DOCUMENTS_DIR"), std::nullopt);
  // A relative configuration folder is ignored in favour of ~/.config.
  write(scratch.path() / ".config", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  EXPECT_EQ(xdgUserDirectory(scratch.path(), "relative", "XDG_DOCUMENTS_DIR"),
            scratch.path() / "Docs");
}

} // namespace
} // namespace quillon
