#include "capture/ScreenVideoCapture.h"

#include "capture/CaptureFiles.h"
#include "core/RecordingStatus.h"

namespace quillon {

void ScreenVideoCapture::start(Mode) {
  record(std::nullopt);
}

void ScreenVideoCapture::startArea(const ScreenArea& area) {
  record(area);
}

void ScreenVideoCapture::record(std::optional<ScreenArea> area) {
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

  // The end may be noticed off the main thread. Its log lines are written
  // even if this object has gone; the state it clears and announces only
  // while it exists.
  const std::uint64_t serial = ++recordingSerial_;
  MainQueue& mainQueue = services_.mainQueue;
  auto ended = [&mainQueue, &log, file,
                ownEnd = lifetime_.guard([this, serial] { recordingEnded(serial); }),
                announce = lifetime_.guard([this] {
                  services_.notifications.post(RecordingStatus::ScreenVideoStateNotification);
                })](CaptureEnd end) {
    mainQueue.async([&log, file, ownEnd, announce, end = std::move(end)] {
      ownEnd();
      // A recording cut short (a full disk, a vanished screen) says why
      // before what it left behind.
      if (end.failure) {
        log.write("Quillon video: recording failed: " + *end.failure);
      }
      std::error_code error;
      log.write(std::filesystem::exists(file, error)
                    ? "Quillon video: saved " + file.string()
                    : std::string("Quillon video: no file written (cancelled)"));
      announce();
    });
  };
  ScreenCapture::Recording started =
      services_.screenCapture.recordScreen(file, area, std::move(ended));
  if (!started.recording) {
    log.write("Quillon video: failed to launch screencapture: " + started.error);
    return;
  }
  task_ = std::move(started.recording);
  taskSerial_ = serial;
  log.write("Quillon video: started " + file.string());
  services_.notifications.post(RecordingStatus::ScreenVideoStateNotification);
}

void ScreenVideoCapture::interrupt() {
  if (task_) {
    task_->stop();
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
