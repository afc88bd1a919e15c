#pragma once

#include "platform/Accessibility.h"
#include "platform/sim/SimApplications.h"
#include "platform/sim/SimLog.h"

#include <map>

namespace quillon {

class SimWorkspace;

// The accessibility answers of the simulated applications: the frontmost one
// is the focused application, its first window the focused window. Each
// application can be made to refuse attributes or writes (SimApplications).
class SimAccessibility final : public Accessibility {
public:
  SimAccessibility(SimJournal& journal, const SimWorkspace& workspace,
                   SimApplications& applications)
      : journal_(journal), workspace_(workspace), applications_(applications) {}

  bool isProcessTrusted() const override { return trusted_; }
  bool isProcessTrustedWithOptions(bool prompt) override;

  AXElement systemWideElement() override;
  AXElement applicationElement(int processIdentifier) override;
  void setMessagingTimeout(const AXElement& element, Duration timeout) override;
  std::optional<AXValue> copyAttributeValue(const AXElement& element,
                                            std::string_view attribute) override;
  bool setAttributeValue(const AXElement& element, std::string_view attribute,
                         const AXValue& value) override;
  bool performAction(const AXElement& element, std::string_view action) override;
  std::optional<AXElement> elementAtPosition(const AXElement& element, Point point) override;
  std::optional<std::uint32_t> windowNumber(const AXElement& window) override;
  Observation observe(int processIdentifier, std::string_view notification,
                      std::function<void(const AXElement& element)> callback) override;

  void setTrusted(bool trusted) { trusted_ = trusted; }
  // How far inside a file element a hit lands: on parts of it (a picture, a
  // label) that name no file, each the parent of the one before, this many
  // levels below the element that does.
  void setFileElementDepth(std::size_t depth) { fileElementDepth_ = depth; }
  int promptCount() const { return promptCount_; }
  // The last messaging timeout set on an element of the application; the
  // system-wide element counts as process 0.
  std::optional<Duration> messagingTimeout(int processIdentifier) const;

private:
  struct Element;
  static const Element* simElement(const AXElement& element);
  AXElement windowElement(int processIdentifier, std::uint32_t number);
  std::optional<AXValue> applicationAttribute(int processIdentifier, std::string_view attribute);
  std::optional<AXValue> windowAttribute(const Element& element, std::string_view attribute);
  AXElement menuElement(int processIdentifier, std::vector<std::size_t> path);
  const SimMenuItem* menuItem(const Element& element) const;
  std::optional<AXValue> menuItemAttribute(const Element& element, std::string_view attribute);
  std::optional<AXValue> fileElementAttribute(const Element& element, std::string_view attribute);
  std::optional<AXElement> fileElementAt(int processIdentifier, Point point);
  bool refuses(int processIdentifier, std::string_view attribute) const;

  SimJournal& journal_;
  const SimWorkspace& workspace_;
  SimApplications& applications_;
  bool trusted_ = true;
  std::size_t fileElementDepth_ = 0;
  int promptCount_ = 0;
  std::map<int, Duration> timeouts_;
};

} // namespace quillon
