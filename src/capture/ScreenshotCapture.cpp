#include "capture/ScreenshotCapture.h"

#include "capture/CaptureFiles.h"

namespace quillon {

void ScreenshotCapture::captureSelectionToClipboard() {
  Log& log = services_.log;
  const capturefiles::Folder folder =
      capturefiles::ensureFolder(services_.directories, capturefiles::ScreenshotsFolder);
  if (!folder.documentsFound) {
    log.write("Quillon screenshot: cannot resolve ~/Documents");
    return;
  }
  if (!folder.path) {
    log.write("Quillon screenshot: cannot create " + folder.attempted.string() + ": " +
              folder.error);
    return;
  }
  const std::filesystem::path file = capturefiles::freshFile(
      *folder.path, "Screenshot ", services_.clock.wallNow(), "jpg", services_.timeZone);
  // The end may be noticed off the main thread; the file and the pasteboard
  // are handled back on it. Only platform services are held, so the capture
  // may end after this object has gone.
  MainQueue& mainQueue = services_.mainQueue;
  auto ended = [&mainQueue, services = services_, file](CaptureEnd end) {
    mainQueue.async([services, file, end = std::move(end)]() mutable {
      ScreenshotCapture(std::move(services)).captureEnded(file, end);
    });
  };
  if (const auto failure = services_.screenCapture.captureAreaToFile(file, std::move(ended))) {
    log.write("Quillon screenshot: failed to launch screencapture: " + *failure);
  }
}

void ScreenshotCapture::captureEnded(const std::filesystem::path& file, const CaptureEnd& end) {
  // A capture that broke off may still have left a file; whether it is a
  // picture decides below, as for any other.
  if (end.failure) {
    services_.log.write("Quillon screenshot: capture failed: " + *end.failure);
  }
  std::error_code error;
  if (!std::filesystem::exists(file, error)) {
    services_.log.write("Quillon screenshot: cancelled (no file written)");
    return;
  }
  // A file that is not a picture leaves the clipboard as it was.
  if (auto image = services_.images.pasteboardItemForImageFile(file)) {
    services_.pasteboard.clearContents();
    services_.pasteboard.writeItems({std::move(*image)});
  }
  services_.log.write("Quillon screenshot: saved " + file.string());
}

} // namespace quillon
