#include "platform/sim/SimScreens.h"

namespace quillon {

SimScreens::SimScreens() {
  // One 1440 × 900 display with a 25-point menu bar.
  const Rect frame{{0, 0}, {1440, 900}};
  screens_.push_back({frame, Rect{{0, 0}, {1440, 875}}});
}

std::optional<ScreenInfo> SimScreens::mainScreen() const {
  if (screens_.empty()) {
    return std::nullopt;
  }
  return screens_.front();
}

double SimScreens::primaryHeight() const {
  return screens_.empty() ? 0 : screens_.front().frame.size.height;
}

} // namespace quillon
