// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/EventFlags.h"
#include "platform/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class WebView;

// Who receives a main-menu item's action.
enum class MenuTarget {
  // The application delegate: the product's own actions.
  Delegate,
  // The application object: hide, quit, bring all to front.
  Application,
  // Whatever has the keyboard focus: editing and window commands.
  FirstResponder,
};

// An item of the application's main menu; the action is the platform's
// standard selector name or one of the delegate's own actions.
struct MainMenuItem {
  std::string title;
  std::string action;
  std::string keyEquivalent;
  EventFlags modifiers = flag::Command;
  MenuTarget target = MenuTarget::FirstResponder;
  bool separator = false;
  // Shown only while its modifiers are held, in place of the item above.
  bool hiddenAlternate = false;
  // Shows a check mark, set or not.
  bool checkable = false;
  bool checked = false;

  static MainMenuItem makeSeparator() {
    MainMenuItem item;
    item.separator = true;
    return item;
  }
};

struct MainMenu {
  std::string title;
  std::vector<MainMenuItem> items;
  // The system lists the open windows in this menu.
  bool isWindowsMenu = false;
};

struct WindowStyle {
  Size contentSize{0, 0};
  bool titled = false;
  bool closable = false;
  bool miniaturizable = false;
  bool resizable = false;
  bool fullSizeContentView = false;
  // False keeps a closed window, so it can be shown again.
  bool releasedWhenClosed = true;
};

// An ordinary application window. Destroying the handle closes it.
class AppWindow {
public:
  virtual ~AppWindow() = default;
  virtual void setTitle(std::string_view title) = 0;
  virtual void setContent(WebView& view) = 0;
  virtual void center() = 0;
  virtual void makeKeyAndOrderFront() = 0;
  virtual bool isVisible() const = 0;
};

// The windows and the main menu of an application with a Dock icon.
class AppWindows {
public:
  virtual ~AppWindows() = default;
  virtual std::unique_ptr<AppWindow> makeWindow(const WindowStyle& style) = 0;
  // Delegate items call chosen with their action, on the main thread.
  virtual void setMainMenu(std::vector<MainMenu> menus,
                           std::function<void(std::string_view action)> chosen) = 0;
  virtual void setMenuItemChecked(std::string_view action, bool checked) = 0;
  // Brings this application to the front, ignoring other applications.
  virtual void activateApplication() = 0;
};

} // namespace quillon
