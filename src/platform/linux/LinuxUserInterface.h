#pragma once

#include "platform/Log.h"
#include "platform/UserInterface.h"
#include "platform/linux/GtkMenus.h"

#include <memory>

namespace quillon {

// The shell of a GTK desktop: the tray item, the HUD and menus popped up
// where the product asks. Needs GTK initialised on the main thread; it only
// attaches sources to the default main context, which the application's
// main loop runs.
class LinuxUserInterface final : public UserInterface {
public:
  explicit LinuxUserInterface(Log& log) : log_(log) {}
  LinuxUserInterface(const LinuxUserInterface&) = delete;
  LinuxUserInterface& operator=(const LinuxUserInterface&) = delete;

  std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) override;
  std::unique_ptr<StatusItem> makeStatusItem(StatusItemHandlers handlers) override;
  // The menu opens at the point, on a one-pixel anchor window there; a new
  // menu replaces one still open.
  void popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                 std::function<void(int tag)> chosen) override;

  // The menu popped up last, while it is open; for tests.
  GtkWidget* openPopUpMenu() const;

private:
  Log& log_;
  std::unique_ptr<GtkPopUpMenu> popUp_;
};

} // namespace quillon
