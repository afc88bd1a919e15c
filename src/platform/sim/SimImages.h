#pragma once

#include "platform/Images.h"

#include <cstdint>
#include <vector>

namespace quillon {

namespace pasteboardtype {
inline constexpr std::string_view Jpeg = "public.jpeg";
} // namespace pasteboardtype

// Reads JPEG files far enough to know they hold a picture of some size; the
// pasteboard gets the file's bytes as JPEG.
class SimImages final : public Images {
public:
  std::optional<PasteboardItem>
  pasteboardItemForImageFile(const std::filesystem::path& file) const override;

  // A small well-formed JPEG of that size, as the simulated capture tool
  // writes it.
  static std::vector<std::uint8_t> makeJpeg(std::uint16_t width, std::uint16_t height);
  // Whether the bytes are a JPEG stream with a frame of non-zero size.
  static bool isDecodableJpeg(const std::vector<std::uint8_t>& bytes);
};

} // namespace quillon
