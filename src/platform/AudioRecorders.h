// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

struct AudioRecorderSettings {
  std::uint32_t formatID = 0;
  double sampleRate = 0;
  int numberOfChannels = 0;
  int encoderAudioQuality = 0;
  friend bool operator==(const AudioRecorderSettings&, const AudioRecorderSettings&) = default;
};

// One recording into one file; destroying it stops it.
class AudioRecording {
public:
  virtual ~AudioRecording() = default;
  virtual bool prepareToRecord() = 0;
  // False when recording does not start.
  virtual bool record() = 0;
  virtual bool isRecording() const = 0;
  // Finalises the file.
  virtual void stop() = 0;
  // Called, on any thread, when the recording breaks off by itself (a full
  // disk, a vanished microphone), with the reason in words fit for the log.
  // A recorder that cannot break off never calls it.
  virtual void onFailure(std::function<void(std::string reason)> handler) { (void)handler; }
};

// The microphone: access to it and recorders writing from it.
class AudioRecorders {
public:
  struct Result {
    std::unique_ptr<AudioRecording> recording;
    std::string error; // set when recording is null
  };

  virtual ~AudioRecorders() = default;
  // The system asks the user only the first time. The answer may arrive on
  // any thread.
  virtual void requestMicrophoneAccess(std::function<void(bool granted)> answer) = 0;
  virtual Result makeRecorder(const std::filesystem::path& file,
                              const AudioRecorderSettings& settings) = 0;
};

} // namespace quillon
