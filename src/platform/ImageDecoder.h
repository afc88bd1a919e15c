// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillon {

// Pixels as 32-bit native-endian words, alpha in the high byte and the
// colours premultiplied by it, row after row of stride bytes.
struct DecodedImage {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> pixels;
};

// Decodes the raster formats web sites serve as icons (PNG, JPEG, GIF,
// ICO); nothing for any other format or a damaged file.
class ImageDecoder {
public:
  virtual ~ImageDecoder() = default;
  // A picture larger than maximumSide on a side comes back scaled down to
  // it, so a hostile file cannot make the decoder allocate without bound.
  virtual std::optional<DecodedImage> decode(std::span<const std::uint8_t> bytes,
                                             int maximumSide) const = 0;
};

} // namespace quillon
