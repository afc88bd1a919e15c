#pragma once

#include <functional>
#include <string_view>

namespace quillon {

// What the status item needs to know of the two recorders. Each recorder
// answers through its provider once it is wired; until then it is not
// recording.
struct RecordingStatus {
  // Posted by each recorder whenever its recording starts or ends.
  static constexpr std::string_view AudioRecorderStateNotification = "QuillonAudioRecorderState";
  static constexpr std::string_view ScreenVideoStateNotification = "QuillonScreenVideoState";

  std::function<bool()> audioRecording;
  std::function<bool()> screenVideoRunning;

  bool isAudioRecording() const { return audioRecording && audioRecording(); }
  bool isScreenVideoRunning() const { return screenVideoRunning && screenVideoRunning(); }
  bool isRecording() const { return isAudioRecording() || isScreenVideoRunning(); }
};

} // namespace quillon
