#pragma once

#include "platform/ImageDecoder.h"

namespace quillon {

// Decodes through gdk-pixbuf, keeping to the formats icons come in: its
// other loaders (SVG, TIFF, …) are more than an icon search should expose.
class PixbufImageDecoder final : public ImageDecoder {
public:
  std::optional<DecodedImage> decode(std::span<const std::uint8_t> bytes,
                                     int maximumSide) const override;
};

} // namespace quillon
