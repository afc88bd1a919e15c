#include "platform/linux/PixbufImages.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace quillon {

std::optional<PasteboardItem>
PixbufImages::pasteboardItemForImageFile(const std::filesystem::path& file) const {
  GdkPixbuf* image = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
  if (image == nullptr) {
    return std::nullopt;
  }
  gchar* buffer = nullptr;
  gsize size = 0;
  const gboolean encoded =
      gdk_pixbuf_save_to_buffer(image, &buffer, &size, "png", nullptr, static_cast<char*>(nullptr));
  g_object_unref(image);
  if (!encoded) {
    return std::nullopt;
  }
  PasteboardItem item;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer);
  item.representations.emplace(std::string(pasteboardtype::Png), PropertyData(bytes, bytes + size));
  g_free(buffer);
  return item;
}

} // namespace quillon
