// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/PropertyValue.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

namespace pasteboardtype {
inline constexpr std::string_view PlainText = "public.utf8-plain-text";
inline constexpr std::string_view Png = "public.png";
inline constexpr std::string_view FileUrl = "public.file-url";
} // namespace pasteboardtype

// One pasteboard item: the same content in every type it can be read as.
struct PasteboardItem {
  std::map<std::string, PropertyData, std::less<>> representations;
  friend bool operator==(const PasteboardItem&, const PasteboardItem&) = default;
};

class Pasteboard {
public:
  virtual ~Pasteboard() = default;
  // Grows by one with every change, so a reader can tell whether it moved.
  virtual long changeCount() const = 0;
  virtual std::vector<PasteboardItem> items() const = 0;
  virtual void clearContents() = 0;
  virtual void writeItems(std::vector<PasteboardItem> items) = 0;
  std::optional<std::string> string() const;
  void setString(std::string_view text);
};

} // namespace quillon
