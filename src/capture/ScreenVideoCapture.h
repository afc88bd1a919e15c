#pragma once

#include "core/NotificationCenter.h"
#include "platform/Clock.h"
#include "platform/Directories.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/ScreenCapture.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillon {

// Video of the screen with sound from the default input, recorded into
// ~/Documents until it is stopped. One recording at a time.
class ScreenVideoCapture {
public:
  enum class Mode { FullScreen };

  struct Dependencies {
    ScreenCapture& screenCapture;
    Directories& directories;
    MainQueue& mainQueue;
    Clock& clock;
    Log& log;
    NotificationCenter& notifications;
    // The time zone of file names; the system's when absent.
    std::optional<std::string> timeZone = std::nullopt;
  };

  explicit ScreenVideoCapture(Dependencies dependencies) : services_(std::move(dependencies)) {}
  ScreenVideoCapture(const ScreenVideoCapture&) = delete;
  ScreenVideoCapture& operator=(const ScreenVideoCapture&) = delete;

  void start(Mode mode = Mode::FullScreen);
  // Only that part of the screen, as the user picked it.
  void startArea(const ScreenArea& area);
  bool isRunning() const { return task_ && task_->isRunning(); }
  // The recording then finishes the file and ends, as on Ctrl+C in a
  // terminal.
  void interrupt();

private:
  void record(std::optional<ScreenArea> area);
  void recordingEnded(std::uint64_t serial);

  Dependencies services_;
  std::unique_ptr<ScreenRecording> task_;
  // Which start the task came from, so the end of an older recording never
  // clears a newer one.
  std::uint64_t taskSerial_ = 0;
  std::uint64_t recordingSerial_ = 0;
  Lifetime lifetime_;
};

} // namespace quillon
