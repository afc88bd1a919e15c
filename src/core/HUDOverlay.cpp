#include "core/HUDOverlay.h"

namespace quillon {

void HUDOverlay::show(std::string message) {
  mainQueue_.async(lifetime_.guard([this, message = std::move(message)] { present(message); }));
}

void HUDOverlay::present(const std::string& message) {
  // A new message replaces the one on screen at once, without a fade.
  if (window_) {
    window_->orderOut();
  }
  HudWindowStyle style;
  style.message = message;
  style.contentSize = BoxSize;
  // A notice must never catch a click or hide behind the user's work.
  style.ignoresMouseEvents = true;
  style.singleLine = true;
  style.onAllSpaces = true;
  style.overFullScreen = true;
  auto window = userInterface_.makeHudWindow(style);
  if (const auto screen = screens_.mainScreen()) {
    const Rect& visible = screen->visibleFrame;
    window->setFrameOrigin(
        {visible.midX() - BoxSize.width / 2, visible.midY() - BoxSize.height / 2});
  }
  window->setAlpha(0);
  window->orderFrontRegardless();
  window_ = window;
  window->animateAlpha(1.0, FadeInDuration, [] {});
  // The fade-out holds its window strongly, so it completes even for a box
  // that a newer message already replaced; only forgetting the window needs
  // the overlay, which it holds weakly.
  Task forget = lifetime_.guard([this, window] {
    if (window_ == window) {
      window_.reset();
    }
  });
  mainQueue_.asyncAfter(FadeOutDelay, [window, forget = std::move(forget)] {
    window->animateAlpha(0.0, FadeOutDuration, [window, forget] {
      window->orderOut();
      forget();
    });
  });
}

} // namespace quillon
