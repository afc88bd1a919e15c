#pragma once

#include "platform/AudioRecorders.h"
#include "platform/MainQueue.h"

#include <optional>
#include <vector>

namespace quillon {

// The microphone: the user's answer to the access prompt, and recorders
// that write a file from the moment they record until they stop.
class SimAudioRecorders final : public AudioRecorders {
public:
  enum class Answer { Grant, Deny };

  struct Made {
    std::filesystem::path file;
    AudioRecorderSettings settings;
  };

  // Answers arrive through the background queue, as the system's do on a
  // thread of its own.
  explicit SimAudioRecorders(BackgroundQueue& background) : background_(background) {}

  void requestMicrophoneAccess(std::function<void(bool granted)> answer) override;
  Result makeRecorder(const std::filesystem::path& file,
                      const AudioRecorderSettings& settings) override;

  // What the user answers if asked; once answered the system remembers,
  // until the user changes it in the system's settings, as this does too.
  void setAnswer(Answer answer) {
    answer_ = answer;
    if (remembered_) {
      remembered_ = answer;
    }
  }
  int promptCount() const { return promptCount_; }
  void failNextRecorder(std::string error) { nextMakeFailure_ = std::move(error); }
  void refuseNextRecord() { refuseNextRecord_ = true; }
  const std::vector<Made>& recordersMade() const { return made_; }
  // The latest recorder breaks off by itself, as on a full disk.
  void breakOffRecording(std::string reason);

private:
  BackgroundQueue& background_;
  Answer answer_ = Answer::Grant;
  std::optional<Answer> remembered_;
  int promptCount_ = 0;
  std::optional<std::string> nextMakeFailure_;
  bool refuseNextRecord_ = false;
  std::vector<Made> made_;
  std::function<void(std::string)> failureHandler_;
};

} // namespace quillon
