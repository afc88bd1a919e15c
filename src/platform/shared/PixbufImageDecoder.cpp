#include "platform/shared/PixbufImageDecoder.h"

#include <algorithm>
#include <array>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <memory>
#include <string_view>

namespace quillon {

namespace {

constexpr std::array<std::string_view, 4> iconFormats{"png", "jpeg", "gif", "ico"};

struct ObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};

// Scales a picture larger than the limit down before its pixels are
// allocated: the loader asks this once it knows the size.
void limitSize(GdkPixbufLoader* loader, int width, int height, gpointer context) {
  const int maximumSide = *static_cast<const int*>(context);
  if (width > maximumSide || height > maximumSide) {
    gdk_pixbuf_loader_set_size(loader, std::min(width, maximumSide), std::min(height, maximumSide));
  }
}

bool isIconFormat(GdkPixbufLoader* loader) {
  GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
  if (format == nullptr) {
    return false;
  }
  gchar* name = gdk_pixbuf_format_get_name(format);
  const bool known = name != nullptr && std::find(iconFormats.begin(), iconFormats.end(),
                                                  std::string_view(name)) != iconFormats.end();
  g_free(name);
  return known;
}

// gdk-pixbuf keeps RGBA bytes unpremultiplied; Cairo wants premultiplied
// native-endian ARGB words.
DecodedImage toPremultipliedArgb(GdkPixbuf* pixbuf) {
  DecodedImage image;
  image.width = gdk_pixbuf_get_width(pixbuf);
  image.height = gdk_pixbuf_get_height(pixbuf);
  image.stride = image.width * 4;
  image.pixels.resize(static_cast<std::size_t>(image.stride) * image.height);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf) != 0;
  const int sourceStride = gdk_pixbuf_get_rowstride(pixbuf);
  const guint8* source = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const guint8* pixel = source + y * sourceStride + x * channels;
      const std::uint32_t alpha = hasAlpha ? pixel[3] : 255;
      const auto premultiply = [alpha](std::uint32_t value) { return (value * alpha + 127) / 255; };
      const std::uint32_t word = alpha << 24 | premultiply(pixel[0]) << 16 |
                                 premultiply(pixel[1]) << 8 | premultiply(pixel[2]);
      auto* target = reinterpret_cast<std::uint32_t*>(image.pixels.data() +
                                                      static_cast<std::size_t>(y) * image.stride) +
                     x;
      *target = word;
    }
  }
  return image;
}

} // namespace

std::optional<DecodedImage> PixbufImageDecoder::decode(std::span<const std::uint8_t> bytes,
                                                       int maximumSide) const {
  if (bytes.empty() || maximumSide <= 0) {
    return std::nullopt;
  }
  const std::unique_ptr<GdkPixbufLoader, ObjectDeleter> loader(gdk_pixbuf_loader_new());
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(limitSize), &maximumSide);
  const bool written =
      gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr) != 0;
  // Closing is needed even after a failed write, or the loader complains
  // when it is freed.
  const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr) != 0;
  if (!written || !closed || !isIconFormat(loader.get())) {
    return std::nullopt;
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (pixbuf == nullptr || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
      gdk_pixbuf_get_n_channels(pixbuf) < 3) {
    return std::nullopt;
  }
  return toPremultipliedArgb(pixbuf);
}

} // namespace quillon
