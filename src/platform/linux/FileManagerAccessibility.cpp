#include "platform/linux/FileManagerAccessibility.h"

#include <glib.h>

namespace quillon {

namespace {

class ItemReference final : public AXElement::Reference {
public:
  explicit ItemReference(FileManagerItem found) : item(std::move(found)) {}
  const FileManagerItem item;
};

const FileManagerItem* itemOf(const AXElement& element) {
  const auto* reference = dynamic_cast<const ItemReference*>(&element.reference());
  return reference != nullptr ? &reference->item : nullptr;
}

std::optional<AXValue> addressOf(const std::filesystem::path& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (uri == nullptr) {
    return std::nullopt;
  }
  std::string address(uri);
  g_free(uri);
  return AXValue(std::move(address));
}

} // namespace

void FileManagerAccessibility::setMessagingTimeout(const AXElement& element, Duration timeout) {
  if (itemOf(element) == nullptr) {
    windows_.setMessagingTimeout(element, timeout);
  }
}

// A file-manager window's document is the folder it shows.
std::optional<AXValue> FileManagerAccessibility::windowDocument(const AXElement& window) {
  if (auto document = windows_.copyAttributeValue(window, ax::Document)) {
    return document;
  }
  const auto number = windows_.windowNumber(window);
  if (!number || std::this_thread::get_id() != owner_) {
    return std::nullopt;
  }
  const auto folder = items_.windowFolder(*number);
  return folder ? addressOf(*folder) : std::nullopt;
}

std::optional<AXValue> FileManagerAccessibility::copyAttributeValue(const AXElement& element,
                                                                    std::string_view attribute) {
  const FileManagerItem* item = itemOf(element);
  if (item == nullptr && attribute == ax::Document) {
    return windowDocument(element);
  }
  if (item == nullptr) {
    return windows_.copyAttributeValue(element, attribute);
  }
  if (attribute == ax::Url) {
    return addressOf(item->path);
  }
  // X counts from the top-left of the screen, as accessibility coordinates do.
  if (attribute == ax::Position) {
    return AXValue(item->frame.origin);
  }
  if (attribute == ax::Size) {
    return AXValue(item->frame.size);
  }
  return std::nullopt;
}

bool FileManagerAccessibility::setAttributeValue(const AXElement& element,
                                                 std::string_view attribute, const AXValue& value) {
  return itemOf(element) == nullptr && windows_.setAttributeValue(element, attribute, value);
}

bool FileManagerAccessibility::performAction(const AXElement& element, std::string_view action) {
  return itemOf(element) == nullptr && windows_.performAction(element, action);
}

std::optional<AXElement> FileManagerAccessibility::elementAtPosition(const AXElement& element,
                                                                     Point point) {
  if (itemOf(element) != nullptr) {
    return std::nullopt;
  }
  // Neither the accessibility client nor the window access may be used
  // from another thread: a hit test from there finds nothing.
  if (std::this_thread::get_id() != owner_) {
    return std::nullopt;
  }
  if (auto item = items_.itemAt(static_cast<int>(point.x), static_cast<int>(point.y))) {
    return AXElement(std::make_shared<ItemReference>(std::move(*item)));
  }
  return windows_.elementAtPosition(element, point);
}

std::optional<std::uint32_t> FileManagerAccessibility::windowNumber(const AXElement& window) {
  if (itemOf(window) != nullptr) {
    return std::nullopt;
  }
  return windows_.windowNumber(window);
}

} // namespace quillon
