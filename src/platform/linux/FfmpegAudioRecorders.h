#pragma once

#include "platform/AudioRecorders.h"
#include "platform/MainQueue.h"
#include "platform/linux/PulseMicrophone.h"

namespace quillon {

// The microphone recorded by ffmpeg in a child process, so the encoder's
// libraries never load into the always-running menu-bar process.
class FfmpegAudioRecorders final : public AudioRecorders {
public:
  FfmpegAudioRecorders(PulseMicrophone& microphone, BackgroundQueue& background)
      : microphone_(microphone), background_(background) {}

  void requestMicrophoneAccess(std::function<void(bool granted)> answer) override;
  Result makeRecorder(const std::filesystem::path& file,
                      const AudioRecorderSettings& settings) override;

private:
  PulseMicrophone& microphone_;
  BackgroundQueue& background_;
};

} // namespace quillon
