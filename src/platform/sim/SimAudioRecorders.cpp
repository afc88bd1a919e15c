#include "platform/sim/SimAudioRecorders.h"

#include <fstream>

namespace quillon {

namespace {

class SimRecording final : public AudioRecording {
public:
  SimRecording(std::filesystem::path file, bool refuseRecord,
               std::function<void(std::function<void(std::string)>)> keepFailureHandler)
      : file_(std::move(file)), refuseRecord_(refuseRecord),
        keepFailureHandler_(std::move(keepFailureHandler)) {}
  ~SimRecording() override { stop(); }

  bool prepareToRecord() override { return true; }
  bool record() override {
    if (refuseRecord_) {
      return false;
    }
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << "ftypM4A ";
    recording_ = bool(out);
    return recording_;
  }
  bool isRecording() const override { return recording_; }
  void stop() override {
    if (!recording_) {
      return;
    }
    recording_ = false;
    std::ofstream out(file_, std::ios::binary | std::ios::app);
    out << "moov";
  }
  void onFailure(std::function<void(std::string reason)> handler) override {
    keepFailureHandler_(std::move(handler));
  }

private:
  std::filesystem::path file_;
  bool refuseRecord_;
  std::function<void(std::function<void(std::string)>)> keepFailureHandler_;
  bool recording_ = false;
};

} // namespace

void SimAudioRecorders::requestMicrophoneAccess(std::function<void(bool granted)> answer) {
  if (!remembered_) {
    ++promptCount_;
    remembered_ = answer_;
  }
  background_.async(
      [answer = std::move(answer), granted = *remembered_ == Answer::Grant] { answer(granted); });
}

AudioRecorders::Result SimAudioRecorders::makeRecorder(const std::filesystem::path& file,
                                                       const AudioRecorderSettings& settings) {
  if (nextMakeFailure_) {
    std::string error = std::move(*nextMakeFailure_);
    nextMakeFailure_.reset();
    return {nullptr, std::move(error)};
  }
  made_.push_back({file, settings});
  const bool refuse = refuseNextRecord_;
  refuseNextRecord_ = false;
  auto keep = [this](std::function<void(std::string)> handler) {
    failureHandler_ = std::move(handler);
  };
  return {std::make_unique<SimRecording>(file, refuse, std::move(keep)), {}};
}

void SimAudioRecorders::breakOffRecording(std::string reason) {
  if (!failureHandler_) {
    return;
  }
  background_.async([handler = failureHandler_, reason = std::move(reason)] { handler(reason); });
}

} // namespace quillon
