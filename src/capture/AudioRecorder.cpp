#include "capture/AudioRecorder.h"

#include "capture/CaptureFiles.h"
#include "core/RecordingStatus.h"

#include <memory>

namespace quillon {

void AudioRecorder::toggle() {
  if (isRecording()) {
    stop();
    return;
  }
  start();
}

void AudioRecorder::start() {
  // The answer comes off the main thread, maybe after this recorder is gone.
  services_.recorders.requestMicrophoneAccess(
      [&mainQueue = services_.mainQueue, &log = services_.log,
       begin = lifetime_.guard([this] { beginRecording(); })](bool granted) {
        mainQueue.async([&log, begin, granted] {
          if (!granted) {
            log.write("Quillon audio: microphone access denied");
            return;
          }
          begin();
        });
      });
}

void AudioRecorder::beginRecording() {
  Log& log = services_.log;
  // A second start while the first is still waiting for its answer must not
  // drop the running recording unfinished.
  if (isRecording()) {
    return;
  }
  const capturefiles::Folder folder =
      capturefiles::ensureFolder(services_.directories, capturefiles::AudioFolder);
  if (!folder.documentsFound) {
    log.write("Quillon audio: cannot resolve ~/Documents");
    return;
  }
  if (!folder.path) {
    log.write("Quillon audio: cannot create " + folder.attempted.string() + ": " + folder.error);
    return;
  }
  const std::filesystem::path file = capturefiles::freshFile(
      *folder.path, "Recording ", services_.clock.wallNow(), "m4a", services_.timeZone);
  AudioRecorders::Result made = services_.recorders.makeRecorder(file, Settings);
  if (!made.recording) {
    log.write("Quillon audio: init failed: " + made.error);
    return;
  }
  made.recording->prepareToRecord();
  if (!made.recording->record()) {
    log.write("Quillon audio: AVAudioRecorder.record() returned false");
    return;
  }
  const std::uint64_t serial = ++recorderSerial_;
  auto slot = std::make_shared<std::string>();
  made.recording->onFailure(
      [&mainQueue = services_.mainQueue, slot, fail = lifetime_.guard([this, serial, slot] {
        recordingFailed(serial, *slot);
      })](std::string reason) {
        *slot = std::move(reason);
        mainQueue.async(fail);
      });
  recorder_ = std::move(made.recording);
  currentFile_ = file;
  log.write("Quillon audio: started " + file.string());
  services_.sound.play(StartStopSound);
  services_.notifications.post(RecordingStatus::AudioRecorderStateNotification);
}

void AudioRecorder::stop() {
  if (!recorder_) {
    return;
  }
  recorder_->stop();
  if (currentFile_) {
    services_.log.write("Quillon audio: stopped, saved " + currentFile_->string());
  }
  services_.sound.play(StartStopSound);
  recorder_.reset();
  currentFile_.reset();
  services_.notifications.post(RecordingStatus::AudioRecorderStateNotification);
}

// What was recorded up to the failure stays in the file; the menu goes back
// to offering a new recording.
void AudioRecorder::recordingFailed(std::uint64_t serial, const std::string& reason) {
  if (!recorder_ || serial != recorderSerial_) {
    return;
  }
  services_.log.write("Quillon audio: recording failed: " + reason);
  services_.sound.play(StartStopSound);
  recorder_.reset();
  currentFile_.reset();
  services_.notifications.post(RecordingStatus::AudioRecorderStateNotification);
}

} // namespace quillon
