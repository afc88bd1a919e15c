#include "platform/linux/FfmpegAudioRecorders.h"

#include "platform/linux/FfmpegSession.h"

#include <mutex>

namespace quillon {

namespace {

constexpr std::uint32_t aacFormat = 0x61616320; // 'aac '
// What the system's "high" AAC quality comes to for one voice channel.
constexpr const char* aacBitRate = "128k";
// A stop waits this long for the file to be finished before giving up on it.
constexpr std::chrono::milliseconds finishLimit{15000};

std::string formatted(double number) {
  return std::to_string(static_cast<long long>(number));
}

class FfmpegAudioRecording final : public AudioRecording {
public:
  FfmpegAudioRecording(std::filesystem::path file, AudioRecorderSettings settings)
      : file_(std::move(file)), settings_(settings) {}
  // The session goes first: its thread may still be reporting its end here.
  ~FfmpegAudioRecording() override {
    stop();
    session_.reset();
  }

  bool prepareToRecord() override { return true; }

  bool record() override {
    if (session_) {
      return false;
    }
    const std::vector<std::string> arguments{"-n",
                                             "-f",
                                             "pulse",
                                             "-i",
                                             PulseMicrophone::DefaultSource,
                                             "-ac",
                                             std::to_string(settings_.numberOfChannels),
                                             "-ar",
                                             formatted(settings_.sampleRate),
                                             "-c:a",
                                             "aac",
                                             "-b:a",
                                             aacBitRate,
                                             file_.string()};
    auto ended = [this](std::optional<std::string> failure) { sessionEnded(std::move(failure)); };
    std::string error;
    session_ = FfmpegSession::start(arguments, ended, error);
    return session_ != nullptr;
  }

  bool isRecording() const override { return session_ && session_->isRunning() && !stopped_; }

  void stop() override {
    if (!session_ || stopped_) {
      return;
    }
    stopped_ = true;
    session_->stopAndWait(finishLimit);
  }

  void onFailure(std::function<void(std::string reason)> handler) override {
    const std::lock_guard lock(mutex_);
    failureHandler_ = std::move(handler);
  }

private:
  // On the session's thread. A failure after the user's own stop is no
  // news: the stop itself reports the file.
  void sessionEnded(std::optional<std::string> failure) {
    const std::lock_guard lock(mutex_);
    if (!failure || !failureHandler_) {
      return;
    }
    failureHandler_(std::move(*failure));
  }

  std::filesystem::path file_;
  AudioRecorderSettings settings_;
  std::unique_ptr<FfmpegSession> session_;
  bool stopped_ = false;
  std::mutex mutex_;
  std::function<void(std::string)> failureHandler_;
};

} // namespace

void FfmpegAudioRecorders::requestMicrophoneAccess(std::function<void(bool granted)> answer) {
  background_.async([this, answer = std::move(answer)] { answer(microphone_.isAvailable()); });
}

AudioRecorders::Result FfmpegAudioRecorders::makeRecorder(const std::filesystem::path& file,
                                                          const AudioRecorderSettings& settings) {
  if (settings.formatID != aacFormat) {
    return {nullptr, "only AAC recordings are made on this desktop"};
  }
  if (settings.numberOfChannels < 1 || settings.sampleRate <= 0) {
    return {nullptr, "no channels or no sample rate to record"};
  }
  return {std::make_unique<FfmpegAudioRecording>(file, settings), {}};
}

} // namespace quillon
