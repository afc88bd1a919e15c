#pragma once

#include "platform/Lifetime.h"
#include "platform/MainQueue.h"
#include "platform/Screens.h"
#include "platform/UserInterface.h"

#include <memory>
#include <string>

namespace quillon {

// A short message in a translucent box in the middle of the main screen, for
// about a second and a half, without taking the focus or the mouse: how the
// product confirms an action that has no window of its own.
class HUDOverlay {
public:
  static constexpr Size BoxSize{320, 80};
  static constexpr Duration FadeInDuration{0.12};
  // Counted from the start of the fade-in.
  static constexpr Duration FadeOutDelay{1.0};
  static constexpr Duration FadeOutDuration{0.35};

  HUDOverlay(MainQueue& mainQueue, UserInterface& userInterface, const Screens& screens)
      : mainQueue_(mainQueue), userInterface_(userInterface), screens_(screens) {}
  HUDOverlay(const HUDOverlay&) = delete;
  HUDOverlay& operator=(const HUDOverlay&) = delete;

  // Safe from any thread: the work happens on the main queue.
  void show(std::string message);

private:
  void present(const std::string& message);

  MainQueue& mainQueue_;
  UserInterface& userInterface_;
  const Screens& screens_;
  std::shared_ptr<OverlayWindow> window_;
  Lifetime lifetime_;
};

} // namespace quillon
