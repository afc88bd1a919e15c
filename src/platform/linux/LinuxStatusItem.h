#pragma once

#include "platform/Log.h"
#include "platform/UserInterface.h"
#include "platform/linux/GtkMenus.h"
#include "platform/shared/TemporaryDirectory.h"

#include <libayatana-appindicator/app-indicator.h>
#include <memory>
#include <vector>

namespace quillon {

// The product's item in the system tray: a StatusNotifierItem whose menu is
// exported over dbusmenu, through libayatana-appindicator. The tray host
// draws the menu and opens it on a click itself, so the owner hears the menu
// opening and the choices, never the click. The item's face is its title
// drawn into an icon of its own, since hosts show an icon, rarely a label.
class LinuxStatusItem final : public StatusItem {
public:
  LinuxStatusItem(StatusItemHandlers handlers, Log& log);
  ~LinuxStatusItem() override;
  LinuxStatusItem(const LinuxStatusItem&) = delete;
  LinuxStatusItem& operator=(const LinuxStatusItem&) = delete;

  void setAppearance(const StatusItemAppearance& appearance) override;
  void setMenu(std::vector<MenuItem> items) override;
  // Pops a copy of the menu up at the pointer: the tray's own menu can only
  // be opened by the tray host.
  void popUpMenu() override;

  // The indicator, for tests that read what the tray host sees.
  AppIndicator* indicator() const { return indicator_.get(); }

private:
  static void trayWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
  static void trayWatcherVanished(GDBusConnection*, const gchar*, gpointer self);
  static void rootAboutToShow(gpointer, gpointer self);
  static gboolean rootOpened(gpointer, const gchar*, GVariant*, guint, gpointer self);
  void watchMenuOpening();
  void stopWatchingMenuOpening();
  void menuWillOpen();

  // Heard by the menus weakly, so no choice outlives this item.
  std::shared_ptr<StatusItemHandlers> handlers_;
  std::shared_ptr<MenuChooser> chooser_;
  Log& log_;
  TemporaryDirectory iconFolder_{"quillon-tray"};
  int iconGeneration_ = 0;
  GObjectPtr<AppIndicator> indicator_;
  std::vector<MenuItem> items_;
  GtkWidgetPtr menu_;
  std::unique_ptr<GtkPopUpMenu> poppedUpMenu_;
  guint trayWatch_ = 0;
  GObjectPtr<GObject> root_;
  std::vector<gulong> rootHandlers_;
  bool reportedNoTray_ = false;
};

} // namespace quillon
