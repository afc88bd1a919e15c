// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/EventFlags.h"
#include "platform/Geometry.h"
#include "platform/MainQueue.h"
#include "platform/Observation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// A borderless, translucent notice window: the HUD. Its behaviours start as
// an ordinary window's, so the product asks for each one it wants.
struct HudWindowStyle {
  std::string message;
  Size contentSize{320, 80};
  int level = 25; // the status-window level, above ordinary windows
  double cornerRadius = 16;
  double fontSize = 16;
  // The label keeps at least this far inside each side edge.
  double horizontalInset = 16;
  // Clicks pass through to whatever lies beneath.
  bool ignoresMouseEvents = false;
  // The message stays on one line, never wrapped.
  bool singleLine = false;
  // Shown on every space, staying put when the user changes space.
  bool onAllSpaces = false;
  // Shown over full-screen windows too.
  bool overFullScreen = false;
};

// A window on screen. Destroying the handle closes the window.
class OverlayWindow {
public:
  virtual ~OverlayWindow() = default;
  virtual void setFrameOrigin(Point origin) = 0;
  virtual void setAlpha(double alpha) = 0;
  // Animates the alpha and calls completion on the main queue when done.
  virtual void animateAlpha(double target, Duration duration, Task completion) = 0;
  // Front without activating the application or taking the focus.
  virtual void orderFrontRegardless() = 0;
  virtual void orderOut() = 0;
};

// Colours by the role the system gives them, so each backend picks its own
// shade (and follows a dark appearance).
enum class NamedColor { Label, SystemRed };
enum class FontWeight { Regular, Semibold, Bold };

// The status item's face: one short text in one font and colour.
struct StatusItemAppearance {
  std::string title;
  NamedColor color = NamedColor::Label;
  double fontSize = 12;
  FontWeight weight = FontWeight::Regular;
  // The system's monospaced font instead of its proportional one.
  bool monospaced = false;
  std::optional<std::string> tooltip;
  friend bool operator==(const StatusItemAppearance&, const StatusItemAppearance&) = default;
};

enum class MouseButton { Left, Right };

// A click on the status item, delivered when the button comes up; the second
// click of a double click arrives with a count of 2.
struct StatusItemClick {
  MouseButton button = MouseButton::Left;
  int clickCount = 1;
  friend bool operator==(const StatusItemClick&, const StatusItemClick&) = default;
};

// One line of a menu, as data: the product builds the whole menu as a value
// and each backend draws it with its own menu facility.
struct MenuItem {
  std::string title;
  // Which of the owner's actions the item runs; an item without one does
  // nothing when chosen.
  std::optional<int> tag;
  // UTF-8; arrows use the platform's function-key characters (U+F700 up,
  // U+F701 down, U+F702 left, U+F703 right). Empty for none.
  std::string keyEquivalent;
  EventFlags keyEquivalentModifierMask = flag::Command;
  bool enabled = true;
  bool checked = false;
  bool separator = false;
  // Non-empty for an item that opens a submenu of the same title.
  std::vector<MenuItem> submenu;

  static MenuItem makeSeparator() {
    MenuItem item;
    item.separator = true;
    item.enabled = false;
    return item;
  }
  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// What the status item tells its owner. Every callback runs on the main
// thread.
struct StatusItemHandlers {
  std::function<void(const StatusItemClick&)> clicked;
  // The menu is about to appear, before anything in it can be chosen.
  std::function<void()> menuWillOpen;
  // The user chose the item with this tag; the menu closes right after.
  std::function<void(int tag)> menuItemChosen;
};

// The product's item in the menu bar (or the system tray). The menu is kept
// with the item but shown only on request, so every click reaches the owner
// first. Destroying the handle removes the item.
class StatusItem {
public:
  virtual ~StatusItem() = default;
  virtual void setAppearance(const StatusItemAppearance& appearance) = 0;
  // Replaces the menu; a menu on screen shows the change at once.
  virtual void setMenu(std::vector<MenuItem> items) = 0;
  // Pops the menu up under the item. A backend whose menus are modal returns
  // once the menu has closed, others at once; either way the handlers hear
  // the opening and the choice.
  virtual void popUpMenu() = 0;
};

// One cell of a panel's grid: a file's icon with its name under it.
struct PanelCell {
  std::string name;
  std::string path;
  friend bool operator==(const PanelCell&, const PanelCell&) = default;
};

// What a floating panel shows: a one-line title over a grid of cells in
// rows, or over a placeholder line when there are none.
struct FloatingPanelContent {
  std::string title;
  std::vector<std::vector<PanelCell>> rows;
  std::optional<std::string> placeholder;
  Size cellSize{80, 88};
  double spacing = 8;
  Size contentSize;
  friend bool operator==(const FloatingPanelContent&, const FloatingPanelContent&) = default;
};

// A small borderless panel floating above ordinary windows. It never takes
// the keyboard focus and clicks in it never activate the application, so
// the one the user works in stays frontmost.
struct FloatingPanelStyle {
  Size contentSize{360, 220};
  int level = 3; // the floating level
  double cornerRadius = 16;
  bool hasShadow = true;
};

// Destroying the handle closes the panel.
class FloatingPanel {
public:
  virtual ~FloatingPanel() = default;
  // Replaces what the panel shows and resizes it to the content's size,
  // keeping its bottom-left corner.
  virtual void setContent(FloatingPanelContent content) = 0;
  virtual Rect frame() const = 0;
  virtual void setFrameOrigin(Point origin) = 0;
  // Front without activating the application or taking the focus.
  virtual void orderFrontRegardless() = 0;
  virtual void orderOut() = 0;
  virtual bool isVisible() const = 0;
};

class UserInterface {
public:
  virtual ~UserInterface() = default;
  virtual std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) = 0;
  virtual std::unique_ptr<StatusItem> makeStatusItem(StatusItemHandlers handlers) = 0;
  // A titled menu at a point in screen coordinates, for a choice made there
  // and then; chosen hears the tag of the picked item on the main thread.
  // Nothing is heard when the menu is dismissed.
  virtual void popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                         std::function<void(int tag)> chosen) = 0;

  // A floating panel, hidden at first; cellChosen hears the path of each
  // cell the user clicks, on the main thread. Null where there are none.
  virtual std::unique_ptr<FloatingPanel>
  makeFloatingPanel(const FloatingPanelStyle&, std::function<void(const std::string& path)>) {
    return nullptr;
  }
  // Sees, on the main thread, each mouse or keyboard event of the mask that
  // goes to another application; it cannot change or stop them.
  virtual Observation addGlobalMonitor(std::uint64_t, std::function<void(const Event&)>) {
    return Observation();
  }
};

} // namespace quillon
