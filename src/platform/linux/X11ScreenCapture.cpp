#include "platform/linux/X11ScreenCapture.h"

#include <gdk/gdk.h>
#include <system_error>

namespace quillon {

namespace {

constexpr const char* jpegQuality = "92";

// The monitor under the pointer, or the primary one when that is unclear;
// in device pixels.
ScreenArea monitorUnderPointer() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = nullptr;
  if (GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display))) {
    int x = 0;
    int y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    monitor = gdk_display_get_monitor_at_point(display, x, y);
  }
  if (monitor == nullptr) {
    monitor = gdk_display_get_primary_monitor(display);
  }
  if (monitor == nullptr) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  if (monitor == nullptr) {
    GdkWindow* root = gdk_get_default_root_window();
    return {0, 0, gdk_window_get_width(root), gdk_window_get_height(root)};
  }
  GdkRectangle geometry;
  gdk_monitor_get_geometry(monitor, &geometry);
  const int scale = gdk_monitor_get_scale_factor(monitor);
  return {geometry.x * scale, geometry.y * scale, geometry.width * scale, geometry.height * scale};
}

std::optional<std::string> savedJpeg(const X11AreaPicker::Pick& pick,
                                     const std::filesystem::path& file) {
  GdkPixbuf* area = gdk_pixbuf_new_subpixbuf(pick.frozen, pick.area.x, pick.area.y, pick.area.width,
                                             pick.area.height);
  if (area == nullptr) {
    return "the picked area lies outside the screen";
  }
  GError* error = nullptr;
  const gboolean saved = gdk_pixbuf_save(area, file.c_str(), "jpeg", &error, "quality", jpegQuality,
                                         static_cast<char*>(nullptr));
  g_object_unref(area);
  if (saved) {
    return std::nullopt;
  }
  std::string reason = error != nullptr ? error->message : "the JPEG could not be written";
  g_clear_error(&error);
  // Half a picture is no capture: no file is what a failed one leaves.
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return reason;
}

} // namespace

std::optional<std::string> X11ScreenCapture::openPicker(X11AreaPicker::Picked picked) {
  if (picker_ && !picker_->isFinished()) {
    return "an area is being picked already";
  }
  // The picker that has finished is released only once its handler has
  // returned, never from inside it.
  auto release = [this, picked = std::move(picked)](std::optional<X11AreaPicker::Pick> pick) {
    picked(pick);
    mainQueue_.async([this] {
      if (picker_ && picker_->isFinished()) {
        picker_.reset();
      }
    });
  };
  std::string error;
  picker_ = X11AreaPicker::open(std::move(release), error);
  if (!picker_) {
    return error;
  }
  return std::nullopt;
}

std::optional<std::string> X11ScreenCapture::captureAreaToFile(const std::filesystem::path& file,
                                                               EndHandler ended) {
  return openPicker([file, ended = std::move(ended)](std::optional<X11AreaPicker::Pick> pick) {
    if (!pick) {
      ended(CaptureEnd{});
      return;
    }
    ended(CaptureEnd{savedJpeg(*pick, file)});
  });
}

std::optional<std::string>
X11ScreenCapture::chooseArea(std::function<void(std::optional<ScreenArea>)> chosen) {
  return openPicker([chosen = std::move(chosen)](std::optional<X11AreaPicker::Pick> pick) {
    chosen(pick ? std::optional(pick->area) : std::nullopt);
  });
}

ScreenCapture::Recording X11ScreenCapture::recordScreen(const std::filesystem::path& file,
                                                        std::optional<ScreenArea> area,
                                                        EndHandler ended) {
  return recorder_.record(file, area ? *area : monitorUnderPointer(), std::move(ended));
}

} // namespace quillon
