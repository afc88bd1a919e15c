#pragma once

#include "platform/Defaults.h"
#include "platform/Directories.h"
#include "platform/Log.h"

namespace quillon {

// Points the system's own screenshot and screen-recording location at
// ~/Documents/Parlando Files/screen, where the full-screen recordings go too.
class ScreenCaptureLocationSetup {
public:
  static constexpr std::string_view Domain = "com.apple.screencapture";
  static constexpr std::string_view LocationKey = "location";

  ScreenCaptureLocationSetup(Directories& directories, Defaults& defaults, Log& log)
      : directories_(directories), defaults_(defaults), log_(log) {}

  void ensureLocation();

private:
  Directories& directories_;
  Defaults& defaults_;
  Log& log_;
};

} // namespace quillon
