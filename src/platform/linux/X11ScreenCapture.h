#pragma once

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/ScreenCapture.h"
#include "platform/linux/FfmpegScreenRecorder.h"
#include "platform/linux/X11AreaPicker.h"

#include <memory>

namespace quillon {

// Capture on an X11 desktop, where any client may read the screen: areas
// are picked on a frozen picture of it and saved here; recordings are made
// by ffmpeg in a child process, so its libraries never load into the
// always-running menu-bar process and its memory is back once a recording
// ends.
class X11ScreenCapture final : public ScreenCapture {
public:
  X11ScreenCapture(MainQueue& mainQueue, PulseMicrophone& microphone, Log& log,
                   std::string displayName)
      : mainQueue_(mainQueue), recorder_(microphone, log, std::move(displayName)) {}

  std::optional<std::string> captureAreaToFile(const std::filesystem::path& file,
                                               EndHandler ended) override;
  Recording recordScreen(const std::filesystem::path& file, std::optional<ScreenArea> area,
                         EndHandler ended) override;
  bool hasSystemRecordingOverlay() const override { return false; }
  std::optional<std::string>
  chooseArea(std::function<void(std::optional<ScreenArea>)> chosen) override;

private:
  std::optional<std::string> openPicker(X11AreaPicker::Picked picked);

  MainQueue& mainQueue_;
  FfmpegScreenRecorder recorder_;
  std::unique_ptr<X11AreaPicker> picker_;
};

} // namespace quillon
