#include "platform/Pasteboard.h"

namespace quillon {

std::optional<std::string> Pasteboard::string() const {
  for (const PasteboardItem& item : items()) {
    const auto text = item.representations.find(pasteboardtype::PlainText);
    if (text != item.representations.end()) {
      return std::string(text->second.begin(), text->second.end());
    }
  }
  return std::nullopt;
}

void Pasteboard::setString(std::string_view text) {
  PasteboardItem item;
  item.representations.emplace(std::string(pasteboardtype::PlainText),
                               PropertyData(text.begin(), text.end()));
  clearContents();
  writeItems({std::move(item)});
}

void Pasteboard::setOwnString(std::string_view text) {
  const OwnUse own = holdForOwnUse();
  setString(text);
}

} // namespace quillon
