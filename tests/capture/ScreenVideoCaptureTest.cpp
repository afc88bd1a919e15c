// Full-screen recording against the simulated capture tool, which records
// until it is interrupted and then writes the movie.
#include "capture/ScreenVideoCapture.h"

#include "core/RecordingStatus.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class ScreenVideoCaptureTest : public ::testing::Test {
protected:
  ScreenVideoCaptureTest() {
    observation = notifications.observe(RecordingStatus::ScreenVideoStateNotification,
                                        [this] { ++announced; });
  }

  std::unique_ptr<ScreenVideoCapture> make() {
    return std::make_unique<ScreenVideoCapture>(ScreenVideoCapture::Dependencies{
        desktop.platform().screenCapture, desktop.directories(), desktop.runLoop(), desktop.clock(),
        desktop.log(), notifications, "UTC"});
  }
  std::string movie(std::string_view time = "00.00.00") {
    return (*desktop.directories().documents() / "Parlando Files" / "screen" /
            ("Screen Recording 2027-01-01 at " + std::string(time) + ".mov"))
        .string();
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  NotificationCenter::Observation observation;
  int announced = 0;
  std::unique_ptr<ScreenVideoCapture> video = make();
};

TEST_F(ScreenVideoCaptureTest, OneRecordingAtATimeUntilTheToolIsInterrupted) {
  video->start();
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture"),
            (Lines{"-v", "-D", "1", "-g", "-x", movie()}));
  EXPECT_TRUE(video->isRunning());
  EXPECT_EQ(announced, 1);

  desktop.advance(Duration(5));
  video->start();
  EXPECT_EQ(desktop.processes().spawns().size(), 1u);
  EXPECT_EQ(announced, 1);

  video->interrupt();
  desktop.runUntilIdle();
  EXPECT_FALSE(video->isRunning());
  EXPECT_TRUE(std::filesystem::exists(movie()));
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(desktop.log().takeNewLines(), (Lines{"Quillon video: started " + movie(),
                                                 "Quillon video: start ignored — already recording",
                                                 "Quillon video: saved " + movie()}));

  // And a new one can start; within the same second it gets a name of its
  // own rather than recording over the movie just saved.
  video->start();
  EXPECT_TRUE(video->isRunning());
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture")->back(),
            movie("00.00.05"));
  video->interrupt();
  desktop.runUntilIdle();
  video->start();
  EXPECT_EQ(desktop.processes().lastArguments("/usr/sbin/screencapture")->back(),
            movie("00.00.05 2"));
}

TEST_F(ScreenVideoCaptureTest, ARecordingEndedBeforeAnyFrameStillAnnouncesItsEnd) {
  desktop.processes().scriptNextResult("/usr/sbin/screencapture",
                                       {1, {}, "could not record\n", nullptr});
  video->start();
  desktop.runUntilIdle();
  EXPECT_FALSE(video->isRunning());
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(desktop.log().takeNewLines(), (Lines{"Quillon video: started " + movie(),
                                                 "Quillon video: no file written (cancelled)"}));
  video->start();
  EXPECT_TRUE(video->isRunning());
}

TEST_F(ScreenVideoCaptureTest, TheEndOfAnOlderRecordingLeavesANewerOneRunning) {
  video->start();
  video->interrupt();
  // The first recording's end has not reached the main queue yet.
  desktop.advance(Duration(1));
  video->start();
  desktop.runUntilIdle();
  EXPECT_TRUE(video->isRunning());
  video->interrupt();
  desktop.runUntilIdle();
  EXPECT_FALSE(video->isRunning());
  EXPECT_EQ(announced, 4);
}

TEST_F(ScreenVideoCaptureTest, FailuresAreLoggedAndAnnounceNothing) {
  desktop.directories().setDocumentsNamed(false);
  video->start();
  desktop.directories().setDocumentsNamed(true);
  desktop.processes().removeTool("/usr/sbin/screencapture");
  video->start();
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon video: cannot resolve ~/Documents",
                   "Quillon video: failed to launch screencapture: The file "
                   "\"/usr/sbin/screencapture\" doesn't exist."}));
  EXPECT_FALSE(video->isRunning());
  EXPECT_EQ(announced, 0);
}

TEST_F(ScreenVideoCaptureTest, ARecordingThatOutlivesItsOwnerIsStillLogged) {
  video->start();
  video->interrupt();
  video.reset();
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines().back(), "Quillon video: saved " + movie());
  EXPECT_EQ(announced, 1);
}

} // namespace
} // namespace quillon
