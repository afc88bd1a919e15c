#include "platform/linux/LinuxUserInterface.h"

#include "platform/linux/LinuxHudWindow.h"
#include "platform/linux/LinuxStatusItem.h"

namespace quillon {

std::shared_ptr<OverlayWindow> LinuxUserInterface::makeHudWindow(const HudWindowStyle& style) {
  return std::make_shared<LinuxHudWindow>(style);
}

std::unique_ptr<StatusItem> LinuxUserInterface::makeStatusItem(StatusItemHandlers handlers) {
  return std::make_unique<LinuxStatusItem>(std::move(handlers), log_);
}

void LinuxUserInterface::popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                                   std::function<void(int tag)> chosen) {
  // The old menu goes before the new one grabs the pointer.
  popUp_.reset();
  popUp_ = std::make_unique<GtkPopUpMenu>(items, std::make_shared<MenuChooser>(std::move(chosen)),
                                          xPointForBox(location, 0));
  if (!popUp_->isShowing()) {
    log_.write("Quillon: could not pop up the menu " + title +
               " (another application holds the pointer)");
  }
}

GtkWidget* LinuxUserInterface::openPopUpMenu() const {
  if (!popUp_ || !popUp_->isShowing()) {
    return nullptr;
  }
  return popUp_->menu();
}

} // namespace quillon
