#include "platform/sim/SimAccessibility.h"

#include "platform/sim/SimServices.h"

#include <algorithm>

namespace quillon {

struct SimAccessibility::Element final : AXElement::Reference {
  enum class Kind { SystemWide, Application, Window, MenuItem, FileElement };
  Element(Kind kind_, int processIdentifier_, std::uint32_t windowNumber_ = 0)
      : kind(kind_), processIdentifier(processIdentifier_), windowNumber(windowNumber_) {}
  Kind kind;
  int processIdentifier;
  std::uint32_t windowNumber;
  // For a file element: its place among the application's file elements,
  // and how many levels inside it this part lies.
  std::size_t fileElementIndex = 0;
  std::size_t levelsInside = 0;
  // For a menu item: the child positions leading to it from the menu bar.
  std::vector<std::size_t> menuPath;
};

namespace {
constexpr int systemWideProcess = 0;

bool contains(const Rect& frame, Point point) {
  return point.x >= frame.origin.x && point.x < frame.origin.x + frame.size.width &&
         point.y >= frame.origin.y && point.y < frame.origin.y + frame.size.height;
}
} // namespace

bool SimAccessibility::isProcessTrustedWithOptions(bool prompt) {
  if (prompt && !trusted_) {
    ++promptCount_;
    journal_.record("accessibility prompt");
  }
  return trusted_;
}

const SimAccessibility::Element* SimAccessibility::simElement(const AXElement& element) {
  return dynamic_cast<const Element*>(&element.reference());
}

AXElement SimAccessibility::systemWideElement() {
  return AXElement(std::make_shared<Element>(Element::Kind::SystemWide, systemWideProcess));
}

AXElement SimAccessibility::applicationElement(int processIdentifier) {
  return AXElement(std::make_shared<Element>(Element::Kind::Application, processIdentifier));
}

AXElement SimAccessibility::windowElement(int processIdentifier, std::uint32_t number) {
  return AXElement(std::make_shared<Element>(Element::Kind::Window, processIdentifier, number));
}

void SimAccessibility::setMessagingTimeout(const AXElement& element, Duration timeout) {
  if (const Element* sim = simElement(element)) {
    timeouts_[sim->processIdentifier] = timeout;
  }
}

std::optional<Duration> SimAccessibility::messagingTimeout(int processIdentifier) const {
  const auto found = timeouts_.find(processIdentifier);
  return found == timeouts_.end() ? std::nullopt : std::optional<Duration>(found->second);
}

bool SimAccessibility::refuses(int processIdentifier, std::string_view attribute) const {
  const SimApplicationWindows* application = applications_.find(processIdentifier);
  return application != nullptr && application->refusedAttributes.contains(attribute);
}

std::optional<AXValue> SimAccessibility::copyAttributeValue(const AXElement& element,
                                                            std::string_view attribute) {
  const Element* sim = simElement(element);
  if (!trusted_ || sim == nullptr) {
    return std::nullopt;
  }
  switch (sim->kind) {
  case Element::Kind::SystemWide: {
    const auto frontmost = workspace_.frontmostApplication();
    if (attribute != ax::FocusedApplication || !frontmost) {
      return std::nullopt;
    }
    return applicationElement(frontmost->processIdentifier);
  }
  case Element::Kind::Application:
    return applicationAttribute(sim->processIdentifier, attribute);
  case Element::Kind::Window:
    return windowAttribute(*sim, attribute);
  case Element::Kind::MenuItem:
    return menuItemAttribute(*sim, attribute);
  case Element::Kind::FileElement:
    return fileElementAttribute(*sim, attribute);
  }
  return std::nullopt;
}

AXElement SimAccessibility::menuElement(int processIdentifier, std::vector<std::size_t> path) {
  auto element = std::make_shared<Element>(Element::Kind::MenuItem, processIdentifier);
  element->menuPath = std::move(path);
  return AXElement(std::move(element));
}

const SimMenuItem* SimAccessibility::menuItem(const Element& element) const {
  const SimApplicationWindows* application = applications_.find(element.processIdentifier);
  if (application == nullptr || !application->menuBar) {
    return nullptr;
  }
  const SimMenuItem* item = &*application->menuBar;
  for (const std::size_t position : element.menuPath) {
    if (position >= item->children.size()) {
      return nullptr;
    }
    item = &item->children[position];
  }
  return item;
}

std::optional<AXValue> SimAccessibility::menuItemAttribute(const Element& element,
                                                           std::string_view attribute) {
  const SimMenuItem* item = menuItem(element);
  if (item == nullptr || refuses(element.processIdentifier, attribute)) {
    return std::nullopt;
  }
  if (attribute == ax::Children) {
    std::vector<AXElement> children;
    for (std::size_t position = 0; position < item->children.size(); ++position) {
      auto path = element.menuPath;
      path.push_back(position);
      children.push_back(menuElement(element.processIdentifier, std::move(path)));
    }
    return children;
  }
  if (attribute == ax::Title && item->title) {
    return *item->title;
  }
  if (attribute == ax::Enabled && item->enabled) {
    return *item->enabled;
  }
  return std::nullopt;
}

std::optional<AXValue> SimAccessibility::fileElementAttribute(const Element& element,
                                                              std::string_view attribute) {
  const SimApplicationWindows* application = applications_.find(element.processIdentifier);
  if (application == nullptr || element.fileElementIndex >= application->fileElements.size() ||
      refuses(element.processIdentifier, attribute)) {
    return std::nullopt;
  }
  if (element.levelsInside > 0) {
    if (attribute != ax::Parent) {
      return std::nullopt;
    }
    auto outer = std::make_shared<Element>(element);
    --outer->levelsInside;
    return AXElement(std::move(outer));
  }
  const SimFileElement& file = application->fileElements[element.fileElementIndex];
  if (attribute == ax::Url) {
    return file.url;
  }
  if (attribute == ax::Position) {
    return file.position;
  }
  if (attribute == ax::Size) {
    return file.size;
  }
  if (attribute == ax::Parent) {
    return applicationElement(element.processIdentifier);
  }
  return std::nullopt;
}

std::optional<AXElement> SimAccessibility::fileElementAt(int processIdentifier, Point point) {
  const SimApplicationWindows* application = applications_.find(processIdentifier);
  if (application == nullptr) {
    return std::nullopt;
  }
  for (std::size_t index = application->fileElements.size(); index-- > 0;) {
    const SimFileElement& file = application->fileElements[index];
    if (contains({file.position, file.size}, point)) {
      auto element = std::make_shared<Element>(Element::Kind::FileElement, processIdentifier);
      element->fileElementIndex = index;
      element->levelsInside = fileElementDepth_;
      return AXElement(std::move(element));
    }
  }
  return std::nullopt;
}

std::optional<AXValue> SimAccessibility::applicationAttribute(int processIdentifier,
                                                              std::string_view attribute) {
  const SimApplicationWindows* application = applications_.find(processIdentifier);
  if (application == nullptr || refuses(processIdentifier, attribute)) {
    return std::nullopt;
  }
  if (attribute == ax::FocusedWindow && !application->windows.empty()) {
    return windowElement(processIdentifier, application->windows.front().number);
  }
  if (attribute == ax::Windows) {
    std::vector<AXElement> windows;
    for (const SimWindow& window : application->windows) {
      windows.push_back(windowElement(processIdentifier, window.number));
    }
    return windows;
  }
  if (attribute == ax::MenuBar && application->menuBar) {
    return menuElement(processIdentifier, {});
  }
  if (attribute == ax::ManualAccessibility) {
    return application->manualAccessibility;
  }
  if (attribute == ax::EnhancedUserInterface) {
    return application->enhancedUserInterface;
  }
  return std::nullopt;
}

std::optional<AXValue> SimAccessibility::windowAttribute(const Element& element,
                                                         std::string_view attribute) {
  const SimWindow* window = applications_.window(element.windowNumber);
  if (window == nullptr || refuses(element.processIdentifier, attribute)) {
    return std::nullopt;
  }
  if (attribute == ax::Position) {
    return window->position;
  }
  if (attribute == ax::Size) {
    return window->size;
  }
  if (attribute == ax::Parent) {
    return applicationElement(element.processIdentifier);
  }
  if (attribute == ax::Title) {
    return window->title;
  }
  if ((attribute == ax::Document || attribute == ax::Url) && window->document) {
    return *window->document;
  }
  return std::nullopt;
}

bool SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                         const AXValue& value) {
  const Element* sim = simElement(element);
  if (sim == nullptr || sim->kind == Element::Kind::SystemWide) {
    return false;
  }
  SimApplicationWindows& application = applications_.application(sim->processIdentifier);
  application.writes.emplace_back(attribute);
  if (!trusted_ || application.refusesWrites || refuses(sim->processIdentifier, attribute)) {
    return false;
  }
  if (sim->kind == Element::Kind::Application) {
    const auto flag = std::get_if<bool>(&value);
    if (flag == nullptr) {
      return false;
    }
    if (attribute == ax::ManualAccessibility) {
      application.manualAccessibility = *flag;
      return true;
    }
    if (attribute == ax::EnhancedUserInterface) {
      application.enhancedUserInterface = *flag;
      return true;
    }
    return false;
  }
  SimWindow* window = applications_.window(sim->windowNumber);
  if (window == nullptr) {
    return false;
  }
  if (const auto* position = std::get_if<Point>(&value); position && attribute == ax::Position) {
    window->position = *position;
    return true;
  }
  // Resizing keeps the top-left corner where it is, as the window server does.
  if (const auto* size = std::get_if<Size>(&value); size && attribute == ax::Size) {
    window->size = *size;
    return true;
  }
  return false;
}

bool SimAccessibility::performAction(const AXElement& element, std::string_view action) {
  const Element* sim = simElement(element);
  if (!trusted_ || sim == nullptr || sim->kind != Element::Kind::MenuItem || action != ax::Press) {
    return false;
  }
  const SimMenuItem* item = menuItem(*sim);
  if (item == nullptr || item->enabled == false) {
    return false;
  }
  const std::string title = item->title.value_or("");
  journal_.record("press menu item " + title);
  applications_.application(sim->processIdentifier).pressedMenuItems.push_back(title);
  return true;
}

std::optional<AXElement> SimAccessibility::elementAtPosition(const AXElement& element,
                                                             Point point) {
  const Element* sim = simElement(element);
  const auto frontmost = workspace_.frontmostApplication();
  if (!trusted_ || sim == nullptr || sim->kind == Element::Kind::Window ||
      sim->kind == Element::Kind::MenuItem || sim->kind == Element::Kind::FileElement) {
    return std::nullopt;
  }
  // The frontmost application's windows lie above the others'.
  std::vector<int> order;
  if (sim->kind == Element::Kind::Application) {
    order.push_back(sim->processIdentifier);
  } else {
    if (frontmost) {
      order.push_back(frontmost->processIdentifier);
    }
    for (const RunningApplication& running : workspace_.runningApplications()) {
      if (!frontmost || running.processIdentifier != frontmost->processIdentifier) {
        order.push_back(running.processIdentifier);
      }
    }
  }
  for (const int processIdentifier : order) {
    const SimApplicationWindows* application = applications_.find(processIdentifier);
    if (application == nullptr) {
      continue;
    }
    if (auto file = fileElementAt(processIdentifier, point)) {
      return file;
    }
    for (const SimWindow& window : application->windows) {
      if (contains({window.position, window.size}, point)) {
        return windowElement(processIdentifier, window.number);
      }
    }
  }
  return std::nullopt;
}

std::optional<std::uint32_t> SimAccessibility::windowNumber(const AXElement& window) {
  const Element* sim = simElement(window);
  if (!trusted_ || sim == nullptr || sim->kind != Element::Kind::Window ||
      applications_.window(sim->windowNumber) == nullptr) {
    return std::nullopt;
  }
  return sim->windowNumber;
}

Observation SimAccessibility::observe(int processIdentifier, std::string_view notification,
                                      std::function<void(const AXElement& element)> callback) {
  if (!trusted_ || notification != ax::WindowCreated) {
    return Observation();
  }
  return applications_.observeWindowOpened(
      [this, processIdentifier, callback = std::move(callback)](const int& owner,
                                                                const std::uint32_t& number) {
        if (owner == processIdentifier) {
          callback(windowElement(owner, number));
        }
      });
}

} // namespace quillon
