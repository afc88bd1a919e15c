#include "platform/linux/X11AreaPicker.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillon {

namespace {

// Less movement than this between press and release is a click, which
// cancels, not a drag.
constexpr double smallestDrag = 3.0;
// How much the frozen picture is darkened outside the selection.
constexpr double shade = 0.35;
constexpr double labelFontSize = 13.0;
constexpr double labelMargin = 6.0;

} // namespace

std::unique_ptr<X11AreaPicker> X11AreaPicker::open(Picked picked, std::string& error) {
  GdkWindow* root = gdk_get_default_root_window();
  if (root == nullptr) {
    error = "no desktop to capture";
    return nullptr;
  }
  const int width = gdk_window_get_width(root);
  const int height = gdk_window_get_height(root);
  GdkPixbuf* frozen = gdk_pixbuf_get_from_window(root, 0, 0, width, height);
  if (frozen == nullptr) {
    error = "cannot read the screen";
    return nullptr;
  }
  auto picker = std::unique_ptr<X11AreaPicker>(new X11AreaPicker(frozen, std::move(picked)));
  // Above every window, undecorated, and left alone by the window manager.
  GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
  picker->window_ = window;
  gtk_window_move(GTK_WINDOW(window), 0, 0);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  gtk_widget_set_app_paintable(window, TRUE);
  gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK);
  X11AreaPicker* self = picker.get();
  g_signal_connect(window, "draw", G_CALLBACK(draw), self);
  g_signal_connect(window, "map-event", G_CALLBACK(mapped), self);
  g_signal_connect(window, "key-press-event", G_CALLBACK(keyPressed), self);
  g_signal_connect(window, "button-press-event", G_CALLBACK(buttonPressed), self);
  g_signal_connect(window, "motion-notify-event", G_CALLBACK(moved), self);
  g_signal_connect(window, "button-release-event", G_CALLBACK(buttonReleased), self);
  gtk_widget_show(window);
  return picker;
}

X11AreaPicker::X11AreaPicker(GdkPixbuf* frozen, Picked picked)
    : frozen_(frozen), picked_(std::move(picked)) {}

X11AreaPicker::~X11AreaPicker() {
  if (window_ != nullptr) {
    gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
    gtk_widget_destroy(window_);
  }
  g_object_unref(frozen_);
}

// Everything the user does goes to the picker until it is done, wherever
// the pointer is.
gboolean X11AreaPicker::mapped(GtkWidget* widget, GdkEvent*, gpointer self) {
  auto* picker = static_cast<X11AreaPicker*>(self);
  GdkWindow* window = gtk_widget_get_window(widget);
  GdkDisplay* display = gdk_window_get_display(window);
  GdkCursor* cursor = gdk_cursor_new_for_display(display, GDK_CROSSHAIR);
  const GdkGrabStatus status =
      gdk_seat_grab(gdk_display_get_default_seat(display), window, GDK_SEAT_CAPABILITY_ALL, TRUE,
                    cursor, nullptr, nullptr, nullptr);
  g_object_unref(cursor);
  if (status != GDK_GRAB_SUCCESS) {
    // Without the keyboard, Escape could not cancel: better no pick at all.
    picker->finish(std::nullopt);
  }
  return FALSE;
}

gboolean X11AreaPicker::draw(GtkWidget*, cairo_t* cairo, gpointer self) {
  static_cast<X11AreaPicker*>(self)->paint(cairo);
  return TRUE;
}

void X11AreaPicker::paint(cairo_t* cairo) const {
  gdk_cairo_set_source_pixbuf(cairo, frozen_, 0, 0);
  cairo_paint(cairo);
  cairo_set_source_rgba(cairo, 0, 0, 0, shade);
  cairo_paint(cairo);
  if (!dragging_) {
    return;
  }
  const ScreenArea area = selection();
  cairo_save(cairo);
  cairo_rectangle(cairo, area.x, area.y, area.width, area.height);
  cairo_clip(cairo);
  gdk_cairo_set_source_pixbuf(cairo, frozen_, 0, 0);
  cairo_paint(cairo);
  cairo_restore(cairo);
  cairo_set_source_rgb(cairo, 1, 1, 1);
  cairo_set_line_width(cairo, 1);
  cairo_rectangle(cairo, area.x + 0.5, area.y + 0.5, std::max(area.width - 1, 0),
                  std::max(area.height - 1, 0));
  cairo_stroke(cairo);

  const std::string size = std::to_string(area.width) + " × " + std::to_string(area.height);
  cairo_set_font_size(cairo, labelFontSize);
  cairo_text_extents_t extents;
  cairo_text_extents(cairo, size.c_str(), &extents);
  const double below = area.y + area.height + labelMargin + extents.height;
  const double y = below < gdk_pixbuf_get_height(frozen_) ? below : area.y - labelMargin;
  cairo_rectangle(cairo, area.x, y - extents.height - 3, extents.x_advance + 8, extents.height + 6);
  cairo_set_source_rgba(cairo, 0, 0, 0, 0.7);
  cairo_fill(cairo);
  cairo_move_to(cairo, area.x + 4, y);
  cairo_set_source_rgb(cairo, 1, 1, 1);
  cairo_show_text(cairo, size.c_str());
}

ScreenArea X11AreaPicker::selection() const {
  const int width = gdk_pixbuf_get_width(frozen_);
  const int height = gdk_pixbuf_get_height(frozen_);
  const int left = std::clamp(static_cast<int>(std::floor(std::min(startX_, currentX_))), 0, width);
  const int top = std::clamp(static_cast<int>(std::floor(std::min(startY_, currentY_))), 0, height);
  const int right = std::clamp(static_cast<int>(std::ceil(std::max(startX_, currentX_))), 0, width);
  const int bottom =
      std::clamp(static_cast<int>(std::ceil(std::max(startY_, currentY_))), 0, height);
  return {left, top, right - left, bottom - top};
}

gboolean X11AreaPicker::keyPressed(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval == GDK_KEY_Escape) {
    static_cast<X11AreaPicker*>(self)->finish(std::nullopt);
  }
  return TRUE;
}

gboolean X11AreaPicker::buttonPressed(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* picker = static_cast<X11AreaPicker*>(self);
  if (event->button != GDK_BUTTON_PRIMARY || picker->finished_) {
    return TRUE;
  }
  picker->dragging_ = true;
  picker->startX_ = picker->currentX_ = event->x_root;
  picker->startY_ = picker->currentY_ = event->y_root;
  return TRUE;
}

gboolean X11AreaPicker::moved(GtkWidget* widget, GdkEventMotion* event, gpointer self) {
  auto* picker = static_cast<X11AreaPicker*>(self);
  if (!picker->dragging_) {
    return TRUE;
  }
  picker->currentX_ = event->x_root;
  picker->currentY_ = event->y_root;
  gtk_widget_queue_draw(widget);
  return TRUE;
}

gboolean X11AreaPicker::buttonReleased(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* picker = static_cast<X11AreaPicker*>(self);
  if (event->button != GDK_BUTTON_PRIMARY || !picker->dragging_) {
    return TRUE;
  }
  picker->currentX_ = event->x_root;
  picker->currentY_ = event->y_root;
  const bool dragged = std::abs(picker->currentX_ - picker->startX_) >= smallestDrag &&
                       std::abs(picker->currentY_ - picker->startY_) >= smallestDrag;
  picker->finish(dragged ? std::optional(picker->selection()) : std::nullopt);
  return TRUE;
}

// The window goes at once, so the user's next click lands on the desktop;
// the picker itself is released by its owner afterwards.
void X11AreaPicker::finish(std::optional<ScreenArea> area) {
  if (finished_) {
    return;
  }
  finished_ = true;
  gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
  gtk_widget_hide(window_);
  Picked picked = std::move(picked_);
  if (!area) {
    picked(std::nullopt);
    return;
  }
  picked(Pick{*area, frozen_});
}

} // namespace quillon
