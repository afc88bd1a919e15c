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
  // The tool's end is noticed off the main thread; the file and the
  // pasteboard are handled back on it. Only platform services are held, so
  // the capture may end after this object has gone.
  MainQueue& mainQueue = services_.mainQueue;
  auto finish = [services = services_, file]() mutable {
    ScreenshotCapture(std::move(services)).toolEnded(file);
  };
  SpawnRequest request{std::string(Tool), {"-i", "-x", "-t", "jpg", file.string()}};
  request.terminationHandler = [&mainQueue, finish](std::optional<int>) {
    mainQueue.async(finish);
  };
  const SpawnResult started = services_.processes.spawn(request);
  if (!started.process) {
    log.write("Quillon screenshot: failed to launch screencapture: " + started.error);
  }
}

void ScreenshotCapture::toolEnded(const std::filesystem::path& file) {
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
