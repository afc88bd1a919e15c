#pragma once

#include "platform/UserInterface.h"
#include "platform/linux/GtkMenus.h"

#include <gtk/gtk.h>

namespace quillon {

// The HUD as a borderless popup window (override-redirect: the window
// manager neither decorates nor focuses it). Clicks pass through when the
// style asks, through an empty input shape. Translucency needs a compositor;
// without one the box is drawn opaque and square.
class LinuxHudWindow final : public OverlayWindow {
public:
  explicit LinuxHudWindow(HudWindowStyle style);
  ~LinuxHudWindow() override;
  LinuxHudWindow(const LinuxHudWindow&) = delete;
  LinuxHudWindow& operator=(const LinuxHudWindow&) = delete;

  void setFrameOrigin(Point origin) override;
  void setAlpha(double alpha) override;
  void animateAlpha(double target, Duration duration, Task completion) override;
  void orderFrontRegardless() override;
  void orderOut() override;

  GtkWidget* widget() const { return window_.get(); }

private:
  struct Animation {
    double from = 1;
    double to = 1;
    gint64 startMicroseconds = 0;
    gint64 lengthMicroseconds = 0;
    Task completion;
  };

  static gboolean draw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean animationStep(gpointer self);
  // Stops the running animation, if any, and posts its completion; a
  // replaced one stays where it got to.
  void finishAnimation(bool reachedTarget);

  const HudWindowStyle style_;
  GtkWidgetPtr window_;
  bool translucent_ = false;
  double alpha_ = 1;
  Animation animation_;
  guint animationSource_ = 0;
};

// Bottom-left screen coordinates (y upwards from the primary display's
// bottom edge) to X's top-left ones, for a box of this height.
GdkPoint xPointForBox(Point origin, double height);

} // namespace quillon
