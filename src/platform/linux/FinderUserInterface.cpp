#include "platform/linux/FinderUserInterface.h"

#include "platform/linux/GtkFloatingPanel.h"

namespace quillon {

std::unique_ptr<FloatingPanel>
FinderUserInterface::makeFloatingPanel(const FloatingPanelStyle& style,
                                       std::function<void(const std::string& path)> cellChosen) {
  return std::make_unique<GtkFloatingPanel>(style, screens_, std::move(cellChosen));
}

} // namespace quillon
