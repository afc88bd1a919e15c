#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/AtspiFileManagerItems.h"

#include <thread>

namespace quillon {

// Window access with the items file managers show: a hit test over a
// file-manager window answers with an element for the file or folder there,
// whose "AXURL" is its address and whose position and size are its cell's,
// and a file-manager window's "AXDocument" is the folder it shows.
// Everything else is the window access's own. Hit tests are answered only
// on the thread this was made on; from elsewhere they find nothing.
class FileManagerAccessibility final : public Accessibility {
public:
  FileManagerAccessibility(Accessibility& windows, AtspiFileManagerItems& items)
      : windows_(windows), items_(items), owner_(std::this_thread::get_id()) {}

  bool isProcessTrusted() const override { return windows_.isProcessTrusted(); }
  bool isProcessTrustedWithOptions(bool prompt) override {
    return windows_.isProcessTrustedWithOptions(prompt);
  }
  AXElement systemWideElement() override { return windows_.systemWideElement(); }
  AXElement applicationElement(int processIdentifier) override {
    return windows_.applicationElement(processIdentifier);
  }
  void setMessagingTimeout(const AXElement& element, Duration timeout) override;
  std::optional<AXValue> copyAttributeValue(const AXElement& element,
                                            std::string_view attribute) override;
  bool setAttributeValue(const AXElement& element, std::string_view attribute,
                         const AXValue& value) override;
  bool performAction(const AXElement& element, std::string_view action) override;
  std::optional<AXElement> elementAtPosition(const AXElement& element, Point point) override;
  std::optional<std::uint32_t> windowNumber(const AXElement& window) override;
  Observation observe(int processIdentifier, std::string_view notification,
                      std::function<void(const AXElement& element)> callback) override {
    return windows_.observe(processIdentifier, notification, std::move(callback));
  }

private:
  std::optional<AXValue> windowDocument(const AXElement& window);

  Accessibility& windows_;
  AtspiFileManagerItems& items_;
  const std::thread::id owner_;
};

} // namespace quillon
