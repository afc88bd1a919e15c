#pragma once

#include "platform/Clock.h"
#include "platform/Directories.h"
#include "platform/Images.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillon {

// An area screenshot: the desktop's interactive capture writes a JPEG under
// ~/Documents, and the same picture goes to the clipboard. Captures keep no
// state; each owns only its file until the capture has ended.
class ScreenshotCapture {
public:
  struct Dependencies {
    ScreenCapture& screenCapture;
    Directories& directories;
    Images& images;
    Pasteboard& pasteboard;
    MainQueue& mainQueue;
    Clock& clock;
    Log& log;
    // The time zone of file names; the system's when absent.
    std::optional<std::string> timeZone = std::nullopt;
  };

  explicit ScreenshotCapture(Dependencies dependencies) : services_(std::move(dependencies)) {}

  // Returns as soon as the capture has started.
  void captureSelectionToClipboard();

private:
  void captureEnded(const std::filesystem::path& file, const CaptureEnd& end);

  Dependencies services_;
};

} // namespace quillon
