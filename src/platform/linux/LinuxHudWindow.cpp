#include "platform/linux/LinuxHudWindow.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>

namespace quillon {

namespace {

// A frame rate that makes a fade look smooth.
constexpr guint animationIntervalMilliseconds = 16;
constexpr double boxGrey = 0.1;
constexpr double boxOpacity = 0.78;

GdkRectangle primaryMonitorGeometry() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  GdkRectangle geometry{0, 0, 0, 0};
  if (monitor != nullptr) {
    gdk_monitor_get_geometry(monitor, &geometry);
  }
  return geometry;
}

void roundedBox(cairo_t* cr, double width, double height, double radius) {
  radius = std::clamp(radius, 0.0, std::min(width, height) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - radius, radius, radius, -G_PI / 2, 0);
  cairo_arc(cr, width - radius, height - radius, radius, 0, G_PI / 2);
  cairo_arc(cr, radius, height - radius, radius, G_PI / 2, G_PI);
  cairo_arc(cr, radius, radius, radius, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
}

} // namespace

GdkPoint xPointForBox(Point origin, double height) {
  const GdkRectangle primary = primaryMonitorGeometry();
  return {static_cast<int>(std::lround(primary.x + origin.x)),
          static_cast<int>(std::lround(primary.y + primary.height - (origin.y + height)))};
}

LinuxHudWindow::LinuxHudWindow(HudWindowStyle style)
    : style_(std::move(style)), window_(adoptWidget(gtk_window_new(GTK_WINDOW_POPUP))) {
  GtkWindow* window = GTK_WINDOW(window_.get());
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NOTIFICATION);
  gtk_window_set_accept_focus(window, FALSE);
  gtk_window_set_focus_on_map(window, FALSE);
  gtk_window_set_keep_above(window, TRUE);
  if (style_.onAllSpaces) {
    gtk_window_stick(window);
  }
  gtk_window_set_default_size(window, static_cast<int>(style_.contentSize.width),
                              static_cast<int>(style_.contentSize.height));
  gtk_widget_set_app_paintable(window_.get(), TRUE);
  GdkScreen* screen = gtk_widget_get_screen(window_.get());
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
      rgba != nullptr && gdk_screen_is_composited(screen)) {
    gtk_widget_set_visual(window_.get(), rgba);
    translucent_ = true;
  }
  if (style_.ignoresMouseEvents) {
    cairo_region_t* nothing = cairo_region_create();
    gtk_widget_input_shape_combine_region(window_.get(), nothing);
    cairo_region_destroy(nothing);
  }
  g_signal_connect(window_.get(), "draw", G_CALLBACK(draw), this);
}

LinuxHudWindow::~LinuxHudWindow() {
  if (animationSource_ != 0) {
    g_source_remove(animationSource_);
  }
  g_signal_handlers_disconnect_by_data(window_.get(), this);
}

gboolean LinuxHudWindow::draw(GtkWidget* widget, cairo_t* cr, gpointer self) {
  const auto& hud = *static_cast<LinuxHudWindow*>(self);
  const double width = gtk_widget_get_allocated_width(widget);
  const double height = gtk_widget_get_allocated_height(widget);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  if (hud.translucent_) {
    roundedBox(cr, width, height, hud.style_.cornerRadius);
    cairo_set_source_rgba(cr, boxGrey, boxGrey, boxGrey, boxOpacity);
  } else {
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source_rgb(cr, boxGrey, boxGrey, boxGrey);
  }
  cairo_fill(cr);

  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  const GObjectPtr<PangoLayout> layout(pango_cairo_create_layout(cr));
  PangoFontDescription* font = pango_font_description_from_string("Sans Medium");
  pango_font_description_set_absolute_size(font, hud.style_.fontSize * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  pango_layout_set_text(layout.get(), hud.style_.message.c_str(), -1);
  pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
  const double textWidth = std::max(0.0, width - 2 * hud.style_.horizontalInset);
  pango_layout_set_width(layout.get(), static_cast<int>(textWidth * PANGO_SCALE));
  if (hud.style_.singleLine) {
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
  } else {
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  }
  int layoutWidth = 0;
  int layoutHeight = 0;
  pango_layout_get_pixel_size(layout.get(), &layoutWidth, &layoutHeight);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, hud.style_.horizontalInset, (height - layoutHeight) / 2);
  pango_cairo_show_layout(cr, layout.get());
  return TRUE;
}

void LinuxHudWindow::setFrameOrigin(Point origin) {
  const GdkPoint point = xPointForBox(origin, style_.contentSize.height);
  gtk_window_move(GTK_WINDOW(window_.get()), point.x, point.y);
}

void LinuxHudWindow::setAlpha(double alpha) {
  alpha_ = std::clamp(alpha, 0.0, 1.0);
  gtk_widget_set_opacity(window_.get(), alpha_);
}

void LinuxHudWindow::animateAlpha(double target, Duration duration, Task completion) {
  // A new animation takes over from wherever the last one got to; the one
  // it replaces still hears its completion, as it does when it finishes.
  finishAnimation(false);
  animation_ = {alpha_, std::clamp(target, 0.0, 1.0), g_get_monotonic_time(),
                static_cast<gint64>(std::llround(duration.count() * G_USEC_PER_SEC)),
                std::move(completion)};
  animationSource_ = g_timeout_add(animationIntervalMilliseconds, animationStep, this);
}

gboolean LinuxHudWindow::animationStep(gpointer self) {
  auto& hud = *static_cast<LinuxHudWindow*>(self);
  const Animation& animation = hud.animation_;
  const gint64 elapsed = g_get_monotonic_time() - animation.startMicroseconds;
  if (elapsed >= animation.lengthMicroseconds) {
    hud.animationSource_ = 0;
    hud.finishAnimation(true);
    return G_SOURCE_REMOVE;
  }
  const double progress =
      static_cast<double>(elapsed) / static_cast<double>(animation.lengthMicroseconds);
  hud.setAlpha(animation.from + (animation.to - animation.from) * progress);
  return G_SOURCE_CONTINUE;
}

void LinuxHudWindow::finishAnimation(bool reachedTarget) {
  if (animationSource_ != 0) {
    g_source_remove(animationSource_);
    animationSource_ = 0;
  }
  if (reachedTarget) {
    setAlpha(animation_.to);
  }
  Task completion = std::move(animation_.completion);
  animation_.completion = nullptr;
  if (!completion) {
    return;
  }
  // On the main loop, as the caller was promised, never inside its call.
  g_idle_add(
      [](gpointer data) {
        const std::unique_ptr<Task> task(static_cast<Task*>(data));
        (*task)();
        return gboolean{G_SOURCE_REMOVE};
      },
      new Task(std::move(completion)));
}

void LinuxHudWindow::orderFrontRegardless() {
  gtk_widget_show_all(window_.get());
  if (GdkWindow* window = gtk_widget_get_window(window_.get())) {
    gdk_window_raise(window);
  }
}

void LinuxHudWindow::orderOut() {
  gtk_widget_hide(window_.get());
}

} // namespace quillon
