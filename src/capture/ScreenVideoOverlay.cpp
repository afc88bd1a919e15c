#include "capture/ScreenVideoOverlay.h"

#include <memory>

namespace quillon {

void ScreenVideoOverlay::open() {
  Log& log = services_.log;
  if (services_.screenCapture.hasSystemRecordingOverlay()) {
    log.write("Quillon video: opening macOS overlay (Shift+Cmd+5)");
    services_.synthesizer.postKey(keycode::Digit5, flag::Shift | flag::Command);
    return;
  }
  // Without the system's overlay and its stop control, the same keys stop
  // the recording they started: a tray whose click opens its menu offers no
  // other.
  if (services_.screenVideo.isRunning()) {
    log.write("Quillon video: stopping the recording");
    services_.screenVideo.interrupt();
    return;
  }
  log.write("Quillon video: choose the area to record");
  // The pick may end off the main thread, and after this object has gone.
  // The answer waits in a slot the guarded task reads once it runs.
  MainQueue& mainQueue = services_.mainQueue;
  auto answer = std::make_shared<std::optional<ScreenArea>>();
  auto chosen = [&mainQueue, answer, apply = lifetime_.guard([this, answer] {
    areaChosen(*answer);
  })](std::optional<ScreenArea> area) {
    *answer = area;
    mainQueue.async(apply);
  };
  if (const auto failure = services_.screenCapture.chooseArea(std::move(chosen))) {
    log.write("Quillon video: cannot choose an area: " + *failure);
  }
}

void ScreenVideoOverlay::areaChosen(const std::optional<ScreenArea>& area) {
  if (!area) {
    services_.log.write("Quillon video: area recording cancelled");
    return;
  }
  services_.screenVideo.startArea(*area);
}

} // namespace quillon
