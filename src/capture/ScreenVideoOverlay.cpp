#include "capture/ScreenVideoOverlay.h"

namespace quillon {

void ScreenVideoOverlay::open() {
  log_.write("Quillon video: opening macOS overlay (Shift+Cmd+5)");
  synthesizer_.postKey(keycode::Digit5, flag::Shift | flag::Command);
}

} // namespace quillon
