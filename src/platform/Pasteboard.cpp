#include "platform/Pasteboard.h"

namespace quillon {

PasteboardTextStart PasteboardTextStart::of(std::string_view whole, std::size_t maxBytes) {
  return PasteboardTextStart{std::string(whole.substr(0, maxBytes)), whole.size()};
}

PasteboardTextStart PasteboardTextStart::of(const PropertyData& whole, std::size_t maxBytes) {
  return of(std::string_view(reinterpret_cast<const char*>(whole.data()), whole.size()), maxBytes);
}

std::optional<std::string> Pasteboard::string() const {
  for (const PasteboardItem& item : items()) {
    const auto text = item.representations.find(pasteboardtype::PlainText);
    if (text != item.representations.end()) {
      return std::string(text->second.begin(), text->second.end());
    }
  }
  return std::nullopt;
}

std::optional<PasteboardTextStart> Pasteboard::stringStart(std::size_t maxBytes) const {
  for (const PasteboardItem& item : items()) {
    if (const auto text = item.representations.find(pasteboardtype::PlainText);
        text != item.representations.end()) {
      return PasteboardTextStart::of(text->second, maxBytes);
    }
  }
  return std::nullopt;
}

bool Pasteboard::itemsConcealed(const std::vector<PasteboardItem>& items) {
  for (const PasteboardItem& item : items) {
    const auto hint = item.representations.find(pasteboardtype::PasswordManagerHint);
    if (hint != item.representations.end() &&
        std::string_view(reinterpret_cast<const char*>(hint->second.data()), hint->second.size()) ==
            pasteboardtype::PasswordManagerSecret) {
      return true;
    }
  }
  return false;
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
