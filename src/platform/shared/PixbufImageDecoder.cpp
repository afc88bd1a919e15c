#include "platform/shared/PixbufImageDecoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <memory>
#include <string_view>

namespace quillon {

namespace {

// The formats icons come in, each known by how its files begin, with the
// name of gdk-pixbuf's loader for it. Nothing else reaches a loader: the
// others (SVG above all) can cost far more than an icon is worth.
struct IconFormat {
  std::string_view signature;
  const char* loader;
};
constexpr std::array<IconFormat, 5> iconFormats{{
    {"\x89PNG\r\n\x1A\n", "png"},
    {"\xFF\xD8\xFF", "jpeg"},
    {"GIF87a", "gif"},
    {"GIF89a", "gif"},
    {std::string_view("\0\0\1\0", 4), "ico"},
}};

// Loaders allocate the whole declared picture before scaling it down, so
// a few hundred bytes declaring a huge picture would cost gigabytes. No
// site icon comes near this.
constexpr std::int64_t maxDeclaredPixels = 2048 * 2048;

struct ObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};

const char* sniffedLoader(std::span<const std::uint8_t> bytes) {
  const std::string_view start(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const IconFormat& format : iconFormats) {
    if (start.starts_with(format.signature)) {
      return format.loader;
    }
  }
  return nullptr;
}

struct SizeLimits {
  int maximumSide = 0;
  bool refused = false;
};

// Runs once the loader knows the declared size and before it allocates the
// pixels. A zero size makes every icon loader give up at once; a picture
// larger than the side limit is scaled down as it is read.
void limitSize(GdkPixbufLoader* loader, int width, int height, gpointer context) {
  auto& limits = *static_cast<SizeLimits*>(context);
  if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > maxDeclaredPixels) {
    limits.refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
    return;
  }
  if (width > limits.maximumSide || height > limits.maximumSide) {
    gdk_pixbuf_loader_set_size(loader, std::min(width, limits.maximumSide),
                               std::min(height, limits.maximumSide));
  }
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
  const char* loaderName = sniffedLoader(bytes);
  if (loaderName == nullptr || maximumSide <= 0) {
    return std::nullopt;
  }
  const std::unique_ptr<GdkPixbufLoader, ObjectDeleter> loader(
      gdk_pixbuf_loader_new_with_type(loaderName, nullptr));
  if (!loader) {
    return std::nullopt;
  }
  SizeLimits limits{maximumSide, false};
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(limitSize), &limits);
  const bool written =
      gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr) != 0;
  // Closing is needed even after a failed write, or the loader complains
  // when it is freed.
  const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr) != 0;
  if (!written || !closed || limits.refused) {
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
