#include "capture/CaptureFiles.h"

#include "platform/sim/SimDirectories.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

TEST(CaptureFilesTest, NamesCarryTheLocalTimeToTheSecond) {
  // 2025-03-14 06:26:53.900 UTC.
  const WallTime time{std::chrono::milliseconds(1741933613900)};
  EXPECT_EQ(capturefiles::fileName("Screenshot ", time, "jpg", "Europe/Moscow"),
            "Screenshot 2025-03-14 at 09.26.53.jpg");
  EXPECT_EQ(capturefiles::timestamp(time, "UTC"), "2025-03-14 at 06.26.53");
  // Midnight and the 24-hour clock, whatever the locale around it.
  EXPECT_EQ(capturefiles::timestamp(WallTime{std::chrono::hours(24 * 365)}, "UTC"),
            "1971-01-01 at 00.00.00");
  EXPECT_EQ(capturefiles::timestamp(WallTime{std::chrono::hours(13)}, "UTC"),
            "1970-01-01 at 13.00.00");
}

TEST(CaptureFilesTest, ANewCaptureNeverTakesANameAlreadyInUse) {
  SimDirectories directories;
  const std::filesystem::path folder = *directories.documents();
  const WallTime time{std::chrono::hours(13)};
  const auto fresh = [&] {
    return capturefiles::freshFile(folder, "Recording ", time, "m4a", "UTC");
  };
  EXPECT_EQ(fresh(), folder / "Recording 1970-01-01 at 13.00.00.m4a");
  std::ofstream(folder / "Recording 1970-01-01 at 13.00.00.m4a") << "first";
  EXPECT_EQ(fresh(), folder / "Recording 1970-01-01 at 13.00.00 2.m4a");
  // A folder or a link leading nowhere holds the name as well as a file.
  std::filesystem::create_directory(folder / "Recording 1970-01-01 at 13.00.00 2.m4a");
  std::filesystem::create_symlink(folder / "gone",
                                  folder / "Recording 1970-01-01 at 13.00.00 3.m4a");
  EXPECT_EQ(fresh(), folder / "Recording 1970-01-01 at 13.00.00 4.m4a");
}

TEST(CaptureFilesTest, FoldersAreMadeOrTheReasonIsGiven) {
  SimDirectories directories;
  const auto made = capturefiles::ensureFolder(directories, capturefiles::ScreenshotsFolder);
  ASSERT_TRUE(made.path);
  EXPECT_EQ(*made.path, *directories.documents() / "Parlando Files" / "screenshots");
  EXPECT_TRUE(std::filesystem::is_directory(*made.path));
  // Again: nothing to do, no error.
  EXPECT_TRUE(capturefiles::ensureFolder(directories, capturefiles::ScreenshotsFolder).path);

  // A file where a folder should be.
  std::ofstream(*directories.documents() / "Parlando Files" / "audiorec") << "not a folder";
  const auto blocked = capturefiles::ensureFolder(directories, capturefiles::AudioFolder);
  EXPECT_TRUE(blocked.documentsFound);
  EXPECT_FALSE(blocked.path);
  EXPECT_FALSE(blocked.error.empty());

  directories.setDocumentsNamed(false);
  EXPECT_FALSE(capturefiles::ensureFolder(directories, capturefiles::ScreenFolder).documentsFound);
}

} // namespace
} // namespace quillon
