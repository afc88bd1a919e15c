#include "platform/linux/FfmpegScreenRecorder.h"

#include "platform/linux/FfmpegSession.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr const char* framesPerSecond = "30";
constexpr const char* soundBitRate = "128k";
// Room for frames and sound waiting on a busy machine, so neither input
// drops what the encoder has not taken yet.
constexpr const char* inputQueue = "512";

// H.264 in 4:2:0 wants even sides.
ScreenArea evenSided(ScreenArea area) {
  area.width = std::max(area.width & ~1, 2);
  area.height = std::max(area.height & ~1, 2);
  return area;
}

class FfmpegScreenRecording final : public ScreenRecording {
public:
  explicit FfmpegScreenRecording(std::unique_ptr<FfmpegSession> session)
      : session_(std::move(session)) {}
  bool isRunning() override { return session_->isRunning(); }
  void stop() override { session_->stop(); }

private:
  std::unique_ptr<FfmpegSession> session_;
};

} // namespace

ScreenCapture::Recording FfmpegScreenRecorder::record(const std::filesystem::path& file,
                                                      ScreenArea area,
                                                      ScreenCapture::EndHandler ended) {
  const ScreenArea recorded = evenSided(area);
  std::vector<std::string> arguments{
      "-n",
      "-thread_queue_size",
      inputQueue,
      "-f",
      "x11grab",
      "-draw_mouse",
      "1",
      "-framerate",
      framesPerSecond,
      "-video_size",
      std::to_string(recorded.width) + "x" + std::to_string(recorded.height),
      "-i",
      displayName_ + "+" + std::to_string(recorded.x) + "," + std::to_string(recorded.y)};
  const bool withSound = microphone_.isAvailable();
  if (withSound) {
    arguments.insert(arguments.end(), {"-thread_queue_size", inputQueue, "-f", "pulse", "-i",
                                       PulseMicrophone::DefaultSource});
  } else {
    log_.write("Quillon video: no microphone; recording without sound");
  }
  arguments.insert(arguments.end(),
                   {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
  if (withSound) {
    arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", soundBitRate});
  }
  arguments.push_back(file.string());
  std::string error;
  auto session = FfmpegSession::start(
      arguments,
      [ended = std::move(ended)](std::optional<std::string> failure) {
        ended(CaptureEnd{std::move(failure)});
      },
      error);
  if (!session) {
    return {nullptr, error};
  }
  return {std::make_unique<FfmpegScreenRecording>(std::move(session)), {}};
}

} // namespace quillon
