#pragma once

#include "capture/ScreenVideoCapture.h"
#include "input/EventSynthesizer.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/ScreenCapture.h"

namespace quillon {

// Recording a part of the screen. Where the system has its own recording
// overlay, its shortcut, Shift+Command+5, is pressed on the user's behalf
// and the system does the rest; elsewhere the user picks an area and the
// screen video records it, and the same keys stop it.
class ScreenVideoOverlay {
public:
  struct Dependencies {
    EventSynthesizer& synthesizer;
    ScreenCapture& screenCapture;
    ScreenVideoCapture& screenVideo;
    MainQueue& mainQueue;
    Log& log;
  };

  explicit ScreenVideoOverlay(Dependencies dependencies) : services_(dependencies) {}
  ScreenVideoOverlay(const ScreenVideoOverlay&) = delete;
  ScreenVideoOverlay& operator=(const ScreenVideoOverlay&) = delete;

  void open();

private:
  void areaChosen(const std::optional<ScreenArea>& area);

  Dependencies services_;
  Lifetime lifetime_;
};

} // namespace quillon
