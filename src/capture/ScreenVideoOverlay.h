#pragma once

#include "input/EventSynthesizer.h"
#include "platform/Log.h"

namespace quillon {

// Opens the system's own screen-recording overlay by pressing its shortcut,
// Shift+Command+5, on the user's behalf.
class ScreenVideoOverlay {
public:
  ScreenVideoOverlay(EventSynthesizer& synthesizer, Log& log)
      : synthesizer_(synthesizer), log_(log) {}
  void open();

private:
  EventSynthesizer& synthesizer_;
  Log& log_;
};

} // namespace quillon
