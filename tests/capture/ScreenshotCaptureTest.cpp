// The area screenshot against the simulated screen capture tool, which
// writes a JPEG where it is told to unless the user cancels.
#include "capture/ScreenshotCapture.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class ScreenshotCaptureTest : public ::testing::Test {
protected:
  ScreenshotCaptureTest() { desktop.pasteboard().setString("kept"); }

  std::filesystem::path folder() const {
    return home / "Documents" / "Parlando Files" / "screenshots";
  }
  std::filesystem::path expectedFile() const {
    return folder() / "Screenshot 2027-01-01 at 00.00.00.jpg";
  }
  void cancelNextSelection() {
    desktop.processes().scriptNextResult("/usr/sbin/screencapture", {1, {}, {}, nullptr});
  }

  SimDesktop desktop;
  std::filesystem::path home = *desktop.directories().home();
  ScreenshotCapture capture{{desktop.platform().screenCapture, desktop.directories(),
                             desktop.platform().images, desktop.pasteboard(), desktop.runLoop(),
                             desktop.clock(), desktop.log(), "UTC"}};
};

TEST_F(ScreenshotCaptureTest, TheSavedPictureGoesToTheClipboardToo) {
  capture.captureSelectionToClipboard();
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture"),
            (Lines{"-i", "-x", "-t", "jpg", expectedFile().string()}));
  // Started, not waited for: the end is handled on the main queue later.
  EXPECT_TRUE(desktop.log().lines().empty());
  desktop.runUntilIdle();

  EXPECT_EQ(desktop.log().lines(), Lines{"Quillon screenshot: saved " + expectedFile().string()});
  const auto items = desktop.pasteboard().items();
  ASSERT_EQ(items.size(), 1u);
  std::ifstream file(expectedFile(), std::ios::binary);
  const PropertyData bytes((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
  EXPECT_EQ(items.front().representations.at("public.jpeg"), bytes);
  EXPECT_EQ(desktop.pasteboard().string(), std::nullopt);
}

TEST_F(ScreenshotCaptureTest, WithoutAPictureTheClipboardIsLeftAlone) {
  const long before = desktop.pasteboard().changeCount();
  cancelNextSelection();
  capture.captureSelectionToClipboard();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines(), Lines{"Quillon screenshot: cancelled (no file written)"});
  EXPECT_FALSE(std::filesystem::exists(expectedFile()));

  // A file that does not decode is kept and reported, but not pasted.
  desktop.processes().registerTool("/usr/sbin/screencapture", [](const Lines& arguments) {
    std::ofstream(arguments.back()) << "\xff\xd8 truncated";
    return SimProcesses::ToolResult{};
  });
  capture.captureSelectionToClipboard();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon screenshot: saved " + expectedFile().string()});
  EXPECT_EQ(desktop.pasteboard().changeCount(), before);
  EXPECT_EQ(desktop.pasteboard().string(), "kept");
}

TEST_F(ScreenshotCaptureTest, EachCaptureKeepsItsOwnFileAndACancelledOneReportsNoSave) {
  capture.captureSelectionToClipboard();
  desktop.advance(Duration(0.9));
  capture.captureSelectionToClipboard();
  desktop.runUntilIdle();
  const auto second = folder() / "Screenshot 2027-01-01 at 00.00.00 2.jpg";
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon screenshot: saved " + expectedFile().string(),
                   "Quillon screenshot: saved " + second.string()}));
  EXPECT_TRUE(std::filesystem::exists(expectedFile()));
  EXPECT_TRUE(std::filesystem::exists(second));

  // The user copies something, then cancels a capture in the same second:
  // the pictures already saved must not come back over the copy.
  desktop.pasteboard().setString("copied since");
  cancelNextSelection();
  capture.captureSelectionToClipboard();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture")->back(),
            (folder() / "Screenshot 2027-01-01 at 00.00.00 3.jpg").string());
  EXPECT_EQ(desktop.log().takeNewLines(), Lines{"Quillon screenshot: cancelled (no file written)"});
  EXPECT_EQ(desktop.pasteboard().string(), "copied since");

  desktop.advance(Duration(0.1));
  capture.captureSelectionToClipboard();
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture")->back(),
            (folder() / "Screenshot 2027-01-01 at 00.00.01.jpg").string());
}

TEST_F(ScreenshotCaptureTest, NothingStartsWithoutAFolderOrATool) {
  desktop.directories().setDocumentsNamed(false);
  capture.captureSelectionToClipboard();
  desktop.directories().setDocumentsNamed(true);
  std::ofstream(home / "Documents" / "Parlando Files") << "a file, not a folder";
  capture.captureSelectionToClipboard();
  EXPECT_TRUE(desktop.processes().spawns().empty());
  const Lines lines = desktop.log().takeNewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Quillon screenshot: cannot resolve ~/Documents");
  EXPECT_TRUE(lines[1].starts_with("Quillon screenshot: cannot create " + folder().string() + ": "))
      << lines[1];

  std::filesystem::remove(home / "Documents" / "Parlando Files");
  desktop.processes().removeTool("/usr/sbin/screencapture");
  capture.captureSelectionToClipboard();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon screenshot: failed to launch screencapture: The file "
                  "\"/usr/sbin/screencapture\" doesn't exist."});
  EXPECT_EQ(desktop.pasteboard().string(), "kept");
}

} // namespace
} // namespace quillon
