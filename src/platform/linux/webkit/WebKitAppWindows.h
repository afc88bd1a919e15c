#pragma once

#include "platform/AppWindows.h"
#include "platform/Application.h"

#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class WebKitAppWindow;

// The web app's windows on GTK, each with the app's menu bar on top. The
// menus' shortcuts use Control where the product names Command: it is this
// desktop's shortcut modifier.
class WebKitAppWindows final : public AppWindows {
public:
  explicit WebKitAppWindows(Application& application) : application_(application) {}
  ~WebKitAppWindows() override;

  std::unique_ptr<AppWindow> makeWindow(const WindowStyle& style) override;
  void setMainMenu(std::vector<MainMenu> menus,
                   std::function<void(std::string_view action)> chosen) override;
  void setMenuItemChecked(std::string_view action, bool checked) override;
  void activateApplication() override;

  // Used by the windows themselves.
  void forget(WebKitAppWindow& window);
  void perform(WebKitAppWindow& window, const MainMenuItem& item);
  Application& application() { return application_; }
  const std::vector<MainMenu>& menus() const { return menus_; }
  const std::string& applicationName() const { return applicationName_; }
  void remember(const std::string& action, GtkCheckMenuItem* item);

private:
  Application& application_;
  std::vector<MainMenu> menus_;
  std::function<void(std::string_view)> chosen_;
  std::string applicationName_;
  std::vector<WebKitAppWindow*> windows_;
  // The check items of every window, by action.
  std::multimap<std::string, GtkCheckMenuItem*> checkItems_;
  bool settingCheck_ = false;
};

} // namespace quillon
