#include "capture/ScreenVideoOverlay.h"

#include "core/RecordingStatus.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

// A desktop without a recording overlay of its own: the product picks the
// area, and the recording ends when the test says.
class PickingScreenCapture final : public ScreenCapture {
public:
  class Running final : public ScreenRecording {
  public:
    explicit Running(PickingScreenCapture& owner) : owner_(owner) {}
    bool isRunning() override { return owner_.running; }
    void stop() override { owner_.end({}); }

  private:
    PickingScreenCapture& owner_;
  };

  std::optional<std::string> captureAreaToFile(const std::filesystem::path&, EndHandler) override {
    return "not here";
  }
  Recording recordScreen(const std::filesystem::path& file, std::optional<ScreenArea> area,
                         EndHandler ended) override {
    recordedFile = file;
    recordedArea = area;
    endHandler = std::move(ended);
    running = true;
    return {std::make_unique<Running>(*this), {}};
  }
  bool hasSystemRecordingOverlay() const override { return false; }
  std::optional<std::string>
  chooseArea(std::function<void(std::optional<ScreenArea>)> chosen) override {
    ++picks;
    pick = std::move(chosen);
    return std::nullopt;
  }

  void end(CaptureEnd how) {
    running = false;
    if (endHandler) {
      std::exchange(endHandler, nullptr)(std::move(how));
    }
  }

  int picks = 0;
  std::function<void(std::optional<ScreenArea>)> pick;
  std::optional<ScreenArea> recordedArea;
  std::filesystem::path recordedFile;
  EndHandler endHandler;
  bool running = false;
};

class ScreenVideoOverlayTest : public ::testing::Test {
protected:
  ScreenVideoOverlayTest() {
    observation = notifications.observe(RecordingStatus::ScreenVideoStateNotification,
                                        [this] { ++announced; });
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  NotificationCenter::Observation observation;
  int announced = 0;
  EventSynthesizer synthesizer{desktop.platform().eventTaps, desktop.clock()};
  PickingScreenCapture capture;
  ScreenVideoCapture video{{capture, desktop.directories(), desktop.runLoop(), desktop.clock(),
                            desktop.log(), notifications, "UTC"}};
  ScreenVideoOverlay overlay{{synthesizer, capture, video, desktop.runLoop(), desktop.log()}};
};

TEST_F(ScreenVideoOverlayTest, ThePickedAreaIsRecordedUntilStopped) {
  overlay.open();
  ASSERT_TRUE(capture.pick);
  capture.pick(ScreenArea{10, 20, 300, 200});
  desktop.runUntilIdle();
  ASSERT_TRUE(video.isRunning());
  EXPECT_EQ(capture.recordedArea, (ScreenArea{10, 20, 300, 200}));
  EXPECT_EQ(capture.recordedFile.filename(), "Screen Recording 2027-01-01 at 00.00.00.mov");
  EXPECT_EQ(announced, 1);

  // While it runs, the shortcut asks for no second area: it stops this one.
  overlay.open();
  EXPECT_EQ(capture.picks, 1);
  desktop.runUntilIdle();
  EXPECT_FALSE(video.isRunning());
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon video: choose the area to record",
                   "Quillon video: started " + capture.recordedFile.string(),
                   "Quillon video: stopping the recording",
                   "Quillon video: no file written (cancelled)"}));

  // A full-screen recording stops the same way.
  video.start();
  overlay.open();
  desktop.runUntilIdle();
  EXPECT_FALSE(video.isRunning());
  EXPECT_EQ(capture.picks, 1);
}

TEST_F(ScreenVideoOverlayTest, ACancelledPickRecordsNothing) {
  overlay.open();
  capture.pick(std::nullopt);
  desktop.runUntilIdle();
  EXPECT_FALSE(video.isRunning());
  EXPECT_EQ(capture.recordedFile, std::filesystem::path());
  EXPECT_EQ(announced, 0);
  EXPECT_EQ(desktop.log().takeNewLines(), (Lines{"Quillon video: choose the area to record",
                                                 "Quillon video: area recording cancelled"}));
}

TEST_F(ScreenVideoOverlayTest, ARecordingCutShortSaysWhyAndGivesTheMenuBack) {
  video.start();
  ASSERT_TRUE(video.isRunning());
  std::ofstream(capture.recordedFile) << "part";
  capture.end(CaptureEnd{"No space left on device"});
  desktop.runUntilIdle();
  EXPECT_FALSE(video.isRunning());
  EXPECT_EQ(announced, 2);
  const Lines lines = desktop.log().takeNewLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Quillon video: recording failed: No space left on device");
  EXPECT_EQ(lines[2], "Quillon video: saved " + capture.recordedFile.string());
}

TEST_F(ScreenVideoOverlayTest, ThePickOutlivingItsOwnerIsDropped) {
  auto owned = std::make_unique<ScreenVideoOverlay>(ScreenVideoOverlay::Dependencies{
      synthesizer, capture, video, desktop.runLoop(), desktop.log()});
  owned->open();
  owned.reset();
  capture.pick(ScreenArea{0, 0, 10, 10});
  desktop.runUntilIdle();
  EXPECT_FALSE(video.isRunning());
}

} // namespace
} // namespace quillon
