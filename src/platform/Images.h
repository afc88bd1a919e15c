// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Pasteboard.h"

#include <filesystem>
#include <optional>

namespace quillon {

// Image files as the pasteboard takes them.
class Images {
public:
  virtual ~Images() = default;
  // The image in the file as one pasteboard item, its representations chosen
  // by the platform; nullopt when the file cannot be read or decoded.
  virtual std::optional<PasteboardItem>
  pasteboardItemForImageFile(const std::filesystem::path& file) const = 0;
};

} // namespace quillon
