// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>
#include <vector>

namespace quillon {

// A picture in memory: rows from the top, each pixel one 32-bit word of
// premultiplied alpha, red, green and blue (alpha in the high byte), the
// layout drawing libraries paint into directly.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  std::uint32_t pixel(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  static std::uint8_t alphaOf(std::uint32_t pixel) {
    return static_cast<std::uint8_t>(pixel >> 24);
  }
  friend bool operator==(const Image&, const Image&) = default;
};

} // namespace quillon
