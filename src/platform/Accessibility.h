// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Geometry.h"
#include "platform/Observation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon {

// An element of some application's accessibility tree: an application, a
// window, a menu item, the system as a whole. Copies share one element,
// which the backend releases when the last copy goes.
class AXElement {
public:
  // What a backend keeps for one element; each backend derives its own.
  class Reference {
  public:
    virtual ~Reference() = default;
  };

  explicit AXElement(std::shared_ptr<Reference> reference) : reference_(std::move(reference)) {}
  Reference& reference() const { return *reference_; }

private:
  std::shared_ptr<Reference> reference_;
};

// An attribute's value. Points and sizes are in accessibility coordinates:
// origin at the top-left of the primary display, y downwards. Addresses
// ("AXURL") arrive as text.
using AXValue =
    std::variant<bool, double, std::string, Point, Size, AXElement, std::vector<AXElement>>;

// The attribute, action and notification names the product uses.
namespace ax {
inline constexpr std::string_view FocusedApplication = "AXFocusedApplication";
inline constexpr std::string_view FocusedWindow = "AXFocusedWindow";
inline constexpr std::string_view Windows = "AXWindows";
inline constexpr std::string_view Position = "AXPosition";
inline constexpr std::string_view Size = "AXSize";
inline constexpr std::string_view Parent = "AXParent";
inline constexpr std::string_view Url = "AXURL";
inline constexpr std::string_view Document = "AXDocument";
inline constexpr std::string_view MenuBar = "AXMenuBar";
inline constexpr std::string_view Children = "AXChildren";
inline constexpr std::string_view Title = "AXTitle";
inline constexpr std::string_view Enabled = "AXEnabled";
// Written on application elements, always true: they make applications that
// build their accessibility tree lazily expose their windows.
inline constexpr std::string_view ManualAccessibility = "AXManualAccessibility";
inline constexpr std::string_view EnhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view Press = "AXPress";
inline constexpr std::string_view WindowCreated = "AXWindowCreated";
} // namespace ax

// A read's value taken as one kind; absent when the read failed or the
// value is of another kind.
template <typename Kind> std::optional<Kind> axValueAs(const std::optional<AXValue>& value) {
  if (!value) {
    return std::nullopt;
  }
  if (const Kind* held = std::get_if<Kind>(&*value)) {
    return *held;
  }
  return std::nullopt;
}

// Other applications' windows and controls, and whether this process may
// observe and control them at all. Without that permission every read fails.
// A failed read is an absent value; callers never see error codes.
class Accessibility {
public:
  virtual ~Accessibility() = default;
  virtual bool isProcessTrusted() const = 0;
  // With prompt set, an untrusted process makes the system ask the user.
  virtual bool isProcessTrustedWithOptions(bool prompt) = 0;

  virtual AXElement systemWideElement() = 0;
  virtual AXElement applicationElement(int processIdentifier) = 0;
  // Later calls on this element give up after the timeout.
  virtual void setMessagingTimeout(const AXElement& element, Duration timeout) = 0;
  virtual std::optional<AXValue> copyAttributeValue(const AXElement& element,
                                                    std::string_view attribute) = 0;
  // Answers whether the application accepted the value; most callers ignore
  // it, as an application may accept a value and not act on it.
  virtual bool setAttributeValue(const AXElement& element, std::string_view attribute,
                                 const AXValue& value) = 0;
  virtual bool performAction(const AXElement& element, std::string_view action) = 0;
  // The deepest element at a point in accessibility coordinates, asked of
  // an application element or of the system-wide one.
  virtual std::optional<AXElement> elementAtPosition(const AXElement& element, Point point) = 0;
  // The window server's number for a window element.
  virtual std::optional<std::uint32_t> windowNumber(const AXElement& window) = 0;
  // Calls back on the main queue with the new element each time the
  // application posts the notification ("AXWindowCreated"). An inactive
  // observation when the application cannot be observed.
  virtual Observation observe(int processIdentifier, std::string_view notification,
                              std::function<void(const AXElement& element)> callback) = 0;
};

} // namespace quillon
