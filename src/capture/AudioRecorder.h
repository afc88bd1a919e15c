#pragma once

#include "core/NotificationCenter.h"
#include "platform/AudioRecorders.h"
#include "platform/Clock.h"
#include "platform/Directories.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Sound.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillon {

// Records the microphone into an AAC file under ~/Documents, with a short
// sound at the start and at the end. No time limit.
class AudioRecorder {
public:
  // MPEG-4 AAC ('aac '), 44.1 kHz mono at high quality.
  static constexpr AudioRecorderSettings Settings{0x61616320, 44100.0, 1, 96};
  static constexpr std::string_view StartStopSound = "Pop";

  struct Dependencies {
    AudioRecorders& recorders;
    Directories& directories;
    MainQueue& mainQueue;
    Clock& clock;
    Log& log;
    Sound& sound;
    NotificationCenter& notifications;
    // The time zone of file names; the system's when absent.
    std::optional<std::string> timeZone = std::nullopt;
  };

  explicit AudioRecorder(Dependencies dependencies) : services_(std::move(dependencies)) {}
  AudioRecorder(const AudioRecorder&) = delete;
  AudioRecorder& operator=(const AudioRecorder&) = delete;

  void toggle();
  // Asks for the microphone first; recording begins when the answer comes.
  void start();
  void stop();
  bool isRecording() const { return recorder_ && recorder_->isRecording(); }
  const std::optional<std::filesystem::path>& currentFile() const { return currentFile_; }

private:
  void beginRecording();
  void recordingFailed(std::uint64_t serial, const std::string& reason);

  Dependencies services_;
  std::unique_ptr<AudioRecording> recorder_;
  std::optional<std::filesystem::path> currentFile_;
  // Which start the recorder came from, so a late failure of an older one
  // never ends a newer one.
  std::uint64_t recorderSerial_ = 0;
  Lifetime lifetime_;
};

} // namespace quillon
