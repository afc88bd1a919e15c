#pragma once

#include "platform/Geometry.h"
#include "platform/MainQueue.h"
#include "platform/sim/SimObservers.h"
#include "platform/sim/SimScreens.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillon {

struct SimWindow {
  std::uint32_t number = 0;
  // Where the window server keeps it, as accessibility reports it: the
  // top-left corner, origin at the top-left of the primary display, y
  // downwards. So a window stays put in these when the displays change.
  Point position;
  Size size;
  std::int32_t level = 0;
  std::string title;
  // The file or folder the window shows, as "AXDocument" and "AXURL" give it.
  std::optional<std::string> document;
};

// An element inside a window that stands for a file or folder, as a file
// manager's icons do: it answers "AXURL", "AXPosition" and "AXSize".
struct SimFileElement {
  std::string url;
  // Accessibility coordinates, as for windows.
  Point position;
  Size size;
};

// One item of an application's menu bar as accessibility shows it; the root
// is the menu bar itself, its children the menus.
struct SimMenuItem {
  // Absent attributes are not reported at all.
  std::optional<std::string> title;
  std::optional<bool> enabled;
  std::vector<SimMenuItem> children;
};

// One application's windows and how its accessibility answers.
struct SimApplicationWindows {
  // Front to back; the first one has the focus.
  std::vector<SimWindow> windows;
  // Attributes the application fails to read or write, as some do.
  std::set<std::string, std::less<>> refusedAttributes;
  // An application that does not let others move or resize it.
  bool refusesWrites = false;
  // Every attribute write asked of the application or its windows, in order,
  // accepted or not.
  std::vector<std::string> writes;
  bool manualAccessibility = false;
  bool enhancedUserInterface = false;
  std::optional<SimMenuItem> menuBar;
  // Above the application's windows, the last one added on top.
  std::vector<SimFileElement> fileElements;
  // The titles of the menu items pressed through accessibility, in order.
  std::vector<std::string> pressedMenuItems;
};

// Other applications' windows, by process identifier. Frames go in and come
// out in screen coordinates, converted with the primary display's height at
// that moment.
class SimApplications {
public:
  SimApplications(MainQueue& mainQueue, const SimScreens& screens)
      : mainQueue_(mainQueue), screens_(screens) {}
  SimApplications(const SimApplications&) = delete;
  SimApplications& operator=(const SimApplications&) = delete;

  // The application's state, made empty on first use.
  SimApplicationWindows& application(int processIdentifier) {
    return applications_[processIdentifier];
  }
  const SimApplicationWindows* find(int processIdentifier) const;

  // Opens a window in front of the application's others, with the focus;
  // answers its window number.
  std::uint32_t openWindow(int processIdentifier, const Rect& frame, std::string title = {});
  // As an application does that takes a while to show its first window.
  void openWindowAfter(int processIdentifier, Duration delay, const Rect& frame);
  SimWindow* window(std::uint32_t number);
  const SimWindow* focusedWindow(int processIdentifier) const;
  // The application's rearmost window comes to the front with the focus, as
  // the window-cycling shortcut does; false with fewer than two windows.
  bool focusRearmostWindow(int processIdentifier);
  // The application that owns a window number, if any.
  std::optional<int> owner(std::uint32_t number) const;

  Rect frame(const SimWindow& window) const;
  // The user dragging or resizing a window: nothing is recorded as a write.
  void moveWindow(SimWindow& window, const Rect& frame);

  // Adds an element for a file at a frame in screen coordinates.
  void addFileElement(int processIdentifier, std::string url, const Rect& frame);

  // Called with the owner and the new window's number.
  Observation observeWindowOpened(std::function<void(const int&, const std::uint32_t&)> callback) {
    return windowOpened_.add(std::move(callback));
  }

private:
  MainQueue& mainQueue_;
  const SimScreens& screens_;
  std::map<int, SimApplicationWindows> applications_;
  std::uint32_t nextWindowNumber_ = 101;
  SimObservers<int, std::uint32_t> windowOpened_;
};

} // namespace quillon
