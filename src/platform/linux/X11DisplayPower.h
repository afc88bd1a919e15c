#pragma once

#include "platform/Log.h"
#include "platform/linux/X11Connection.h"

namespace quillon {

// Puts the display out through the X server's power management (DPMS).
// Servers without it (Xvfb, most nested servers) leave the display as it is,
// which is said once.
class X11DisplayPower {
public:
  X11DisplayPower(X11Connection& connection, Log& log) : connection_(connection), log_(log) {}

  void turnOffNow();

private:
  X11Connection& connection_;
  Log& log_;
  bool unsupportedReported_ = false;
};

} // namespace quillon
