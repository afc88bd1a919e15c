#pragma once

#include "platform/Images.h"

namespace quillon {

// Image files offered to other applications as PNG, the picture type every
// X11 program that pastes images reads.
class PixbufImages final : public Images {
public:
  std::optional<PasteboardItem>
  pasteboardItemForImageFile(const std::filesystem::path& file) const override;
};

} // namespace quillon
