#include "capture/ScreenVideoCapture.h"

#include "capture/CaptureFiles.h"
#include "core/RecordingStatus.h"

namespace quillon {

void ScreenVideoCapture::start(Mode) {
  Log& log = services_.log;
  if (isRunning()) {
    log.write("Quillon video: start ignored — already recording");
    return;
  }
  const capturefiles::Folder folder =
      capturefiles::ensureFolder(services_.directories, capturefiles::ScreenFolder);
  if (!folder.documentsFound) {
    log.write("Quillon video: cannot resolve ~/Documents");
    return;
  }
  if (!folder.path) {
    log.write("Quillon video: cannot create " + folder.attempted.string() + ": " + folder.error);
    return;
  }
  const std::filesystem::path file = capturefiles::freshFile(
      *folder.path, "Screen Recording ", services_.clock.wallNow(), "mov", services_.timeZone);

  // The end is noticed off the main thread. Its log line is written even if
  // this object has gone; the state it clears and announces only while it
  // exists.
  const std::uint64_t serial = ++recordingSerial_;
  Task endOfRecording =
      [&log, file, ownEnd = lifetime_.guard([this, serial] { recordingEnded(serial); }),
       announce = lifetime_.guard([this] {
         services_.notifications.post(RecordingStatus::ScreenVideoStateNotification);
       })] {
        std::error_code error;
        ownEnd();
        log.write(std::filesystem::exists(file, error)
                      ? "Quillon video: saved " + file.string()
                      : std::string("Quillon video: no file written (cancelled)"));
        announce();
      };
  SpawnRequest request{std::string(Tool), {"-v", "-D", "1", "-g", "-x", file.string()}};
  request.terminationHandler = [&mainQueue = services_.mainQueue, endOfRecording](
                                   std::optional<int>) { mainQueue.async(endOfRecording); };
  SpawnResult started = services_.processes.spawn(request);
  if (!started.process) {
    log.write("Quillon video: failed to launch screencapture: " + started.error);
    return;
  }
  task_ = std::move(started.process);
  taskSerial_ = serial;
  log.write("Quillon video: started " + file.string());
  services_.notifications.post(RecordingStatus::ScreenVideoStateNotification);
}

void ScreenVideoCapture::interrupt() {
  if (task_) {
    task_->interrupt();
  }
}

// Only the recording that ended is forgotten: a newer one started since
// keeps running and stays the one the status item can stop.
void ScreenVideoCapture::recordingEnded(std::uint64_t serial) {
  if (serial == taskSerial_) {
    task_.reset();
  }
}

} // namespace quillon
