// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillon {

// A part of the desktop in the backend's own pixels. Only the backend that
// chose it reads it; the product passes it on untouched.
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// How a capture or a recording ended. A failure names its reason in words
// fit for the log (never the picture or the sound themselves).
struct CaptureEnd {
  std::optional<std::string> failure;
};

// A running screen recording.
class ScreenRecording {
public:
  virtual ~ScreenRecording() = default;
  virtual bool isRunning() = 0;
  // Finishes the file and ends; the recording's end handler runs afterwards.
  virtual void stop() = 0;
};

// What the product asks of the desktop to capture the screen: a picture of
// an area the user picks, and a recording of the screen with the default
// microphone. Handlers may run on any thread, and after the caller has gone.
class ScreenCapture {
public:
  using EndHandler = std::function<void(CaptureEnd)>;

  struct Recording {
    std::unique_ptr<ScreenRecording> recording;
    std::string error; // set when recording is null
  };

  virtual ~ScreenCapture() = default;

  // Lets the user pick an area and writes it to file as a JPEG; a cancelled
  // pick writes nothing. Answers why it could not start, if it could not.
  virtual std::optional<std::string> captureAreaToFile(const std::filesystem::path& file,
                                                       EndHandler ended) = 0;

  // Records the screen (only `area` of it, when given) with sound from the
  // default input into file, a movie, until stopped.
  virtual Recording recordScreen(const std::filesystem::path& file, std::optional<ScreenArea> area,
                                 EndHandler ended) = 0;

  // Whether the desktop offers its own overlay for recording a part of the
  // screen, which then saves by itself; without one the product lets the
  // user pick the area and records it.
  virtual bool hasSystemRecordingOverlay() const = 0;
  // Lets the user pick an area; `chosen` gets none when the pick is
  // cancelled. Answers why it could not start, if it could not.
  virtual std::optional<std::string>
  chooseArea(std::function<void(std::optional<ScreenArea>)> chosen) = 0;
};

} // namespace quillon
