#include "platform/linux/X11DisplayPower.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace quillon {

void X11DisplayPower::turnOffNow() {
  Display* display = connection_.display();
  int eventBase = 0;
  int errorBase = 0;
  if (DPMSQueryExtension(display, &eventBase, &errorBase) == False ||
      DPMSCapable(display) == False) {
    if (!unsupportedReported_) {
      unsupportedReported_ = true;
      log_.write("Quillon: this display has no power management (DPMS); it stays on when the "
                 "lid closes");
    }
    return;
  }
  CARD16 level = 0;
  BOOL enabled = False;
  DPMSInfo(display, &level, &enabled);
  // Forcing a level is refused while DPMS is disabled.
  if (enabled == False) {
    DPMSEnable(display);
  }
  DPMSForceLevel(display, DPMSModeOff);
  XFlush(display);
}

} // namespace quillon
