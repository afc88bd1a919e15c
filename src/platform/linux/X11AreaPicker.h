#pragma once

#include "platform/ScreenCapture.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <optional>

namespace quillon {

// Freezes the whole desktop (every monitor), shows the frozen picture on a
// full-screen window above everything and lets the user drag a rectangle,
// its size shown beside it. Escape, or a click without a drag, cancels.
class X11AreaPicker {
public:
  struct Pick {
    ScreenArea area;
    // The frozen desktop the area was picked on; the picker's reference.
    GdkPixbuf* frozen = nullptr;
  };
  // Runs on the main loop once, with nothing when the pick was cancelled.
  using Picked = std::function<void(std::optional<Pick>)>;

  // Null, with the reason in `error`, when the desktop cannot be read or
  // the pointer and keyboard cannot be taken.
  static std::unique_ptr<X11AreaPicker> open(Picked picked, std::string& error);

  X11AreaPicker(const X11AreaPicker&) = delete;
  X11AreaPicker& operator=(const X11AreaPicker&) = delete;
  ~X11AreaPicker();

  bool isFinished() const { return finished_; }

private:
  X11AreaPicker(GdkPixbuf* frozen, Picked picked);
  static gboolean draw(GtkWidget* widget, cairo_t* cairo, gpointer self);
  static gboolean mapped(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean keyPressed(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean buttonPressed(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean moved(GtkWidget* widget, GdkEventMotion* event, gpointer self);
  static gboolean buttonReleased(GtkWidget* widget, GdkEventButton* event, gpointer self);
  void paint(cairo_t* cairo) const;
  ScreenArea selection() const;
  void finish(std::optional<ScreenArea> area);

  GdkPixbuf* frozen_;
  GtkWidget* window_ = nullptr;
  Picked picked_;
  bool dragging_ = false;
  bool finished_ = false;
  double startX_ = 0;
  double startY_ = 0;
  double currentX_ = 0;
  double currentY_ = 0;
};

} // namespace quillon
