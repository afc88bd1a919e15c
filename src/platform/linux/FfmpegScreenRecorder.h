#pragma once

#include "platform/Log.h"
#include "platform/ScreenCapture.h"
#include "platform/linux/PulseMicrophone.h"

#include <string>

namespace quillon {

// An area of an X display with the default microphone, recorded by ffmpeg
// into a movie: H.264 in 4:2:0, which every common player takes, and AAC.
class FfmpegScreenRecorder {
public:
  FfmpegScreenRecorder(PulseMicrophone& microphone, Log& log, std::string displayName)
      : microphone_(microphone), log_(log), displayName_(std::move(displayName)) {}

  ScreenCapture::Recording record(const std::filesystem::path& file, ScreenArea area,
                                  ScreenCapture::EndHandler ended);

private:
  PulseMicrophone& microphone_;
  Log& log_;
  std::string displayName_;
};

} // namespace quillon
