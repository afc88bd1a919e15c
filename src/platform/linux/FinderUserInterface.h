#pragma once

#include "platform/Screens.h"
#include "platform/UserInterface.h"
#include "platform/linux/X11PointerMonitors.h"

namespace quillon {

// The shell's interface with what folder peek adds to it: floating panels
// drawn with GTK and monitors of the pointer. Everything else is the
// shell's own.
class FinderUserInterface final : public UserInterface {
public:
  FinderUserInterface(UserInterface& shell, const Screens& screens, X11PointerMonitors& pointer)
      : shell_(shell), screens_(screens), pointer_(pointer) {}

  std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) override {
    return shell_.makeHudWindow(style);
  }
  std::unique_ptr<StatusItem> makeStatusItem(StatusItemHandlers handlers) override {
    return shell_.makeStatusItem(std::move(handlers));
  }
  void popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                 std::function<void(int tag)> chosen) override {
    shell_.popUpMenu(std::move(title), std::move(items), location, std::move(chosen));
  }
  std::unique_ptr<FloatingPanel>
  makeFloatingPanel(const FloatingPanelStyle& style,
                    std::function<void(const std::string& path)> cellChosen) override;
  Observation addGlobalMonitor(std::uint64_t eventMask,
                               std::function<void(const Event&)> callback) override {
    return pointer_.add(eventMask, std::move(callback));
  }

private:
  UserInterface& shell_;
  const Screens& screens_;
  X11PointerMonitors& pointer_;
};

} // namespace quillon
