#pragma once

#include "platform/AppWindows.h"
#include "platform/sim/SimLog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// An application window as data, kept after it closes.
struct SimAppWindowRecord {
  WindowStyle style;
  std::string title;
  bool hasContent = false;
  bool centered = false;
  bool visible = false;
  bool key = false;
  bool closed = false;
};

// The main menu and the windows of a Dock application, as data.
class SimAppWindows final : public AppWindows {
public:
  explicit SimAppWindows(SimJournal& journal) : journal_(journal) {}

  std::unique_ptr<AppWindow> makeWindow(const WindowStyle& style) override;
  void setMainMenu(std::vector<MainMenu> menus,
                   std::function<void(std::string_view action)> chosen) override;
  void setMenuItemChecked(std::string_view action, bool checked) override;
  void activateApplication() override;

  const std::vector<MainMenu>& mainMenu() const { return menus_; }
  // The user picks the delegate item with this action; false when no such
  // item is in the menu.
  bool chooseMainMenuAction(std::string_view action);
  const std::shared_ptr<SimAppWindowRecord>& lastWindow() const { return lastWindow_; }
  // The user closes the window (it stays, hidden, as its style asks).
  void closeLastWindow();
  int activationCount() const { return activations_; }

private:
  MainMenuItem* findItem(std::string_view action);

  SimJournal& journal_;
  std::vector<MainMenu> menus_;
  std::function<void(std::string_view)> chosen_;
  std::shared_ptr<SimAppWindowRecord> lastWindow_;
  int activations_ = 0;
};

} // namespace quillon
