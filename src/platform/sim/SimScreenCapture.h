#pragma once

#include "platform/Processes.h"
#include "platform/ScreenCapture.h"

#include <string_view>

namespace quillon {

// The capture of a desktop that has the system's own tool for it: every
// capture and recording is a run of that tool, and recording a part of the
// screen is the system overlay's job.
class SimScreenCapture final : public ScreenCapture {
public:
  static constexpr std::string_view Tool = "/usr/sbin/screencapture";

  explicit SimScreenCapture(Processes& processes) : processes_(processes) {}

  std::optional<std::string> captureAreaToFile(const std::filesystem::path& file,
                                               EndHandler ended) override;
  Recording recordScreen(const std::filesystem::path& file, std::optional<ScreenArea> area,
                         EndHandler ended) override;
  bool hasSystemRecordingOverlay() const override { return true; }
  std::optional<std::string>
  chooseArea(std::function<void(std::optional<ScreenArea>)> chosen) override;

private:
  Processes& processes_;
};

} // namespace quillon
