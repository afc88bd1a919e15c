#include "finder/PeekPanel.h"

#include <algorithm>
#include <cmath>

namespace quillon {

PeekPanel::PeekPanel(UserInterface& userInterface, const Localization& localization)
    : localization_(localization) {
  content_.cellSize = CellSize;
  content_.spacing = CellSpacing;
  content_.contentSize = InitialSize;
  FloatingPanelStyle style;
  style.contentSize = InitialSize;
  // The panel only lives as long as this object, which owns the window,
  // so the cell callback may hold it plainly.
  window_ = userInterface.makeFloatingPanel(
      style, [this](const std::string& path) { itemTapped(std::filesystem::path(path)); });
}

Size PeekPanel::contentSize(std::size_t entryCount) {
  const auto count = static_cast<double>(entryCount);
  const double rows = std::max(1.0, std::ceil(count / Columns));
  const double columns = std::clamp(count, 1.0, static_cast<double>(Columns));
  const double width = CellSize.width * columns + CellSpacing * (columns - 1) + SideMargins;
  const double height =
      TitleBand + CellSize.height * rows + CellSpacing * (rows - 1) + BottomMargin;
  return {std::max(MinimumSize.width, width), std::max(MinimumSize.height, height)};
}

void PeekPanel::update(std::string folderName, const std::vector<std::filesystem::path>& items,
                       OnSelect onSelect) {
  onSelect_ = std::move(onSelect);
  content_.title = std::move(folderName);
  content_.rows.clear();
  content_.placeholder.reset();
  if (items.empty()) {
    content_.placeholder = localization_.localized(EmptyFolderText);
  }
  for (std::size_t index = 0; index < items.size(); ++index) {
    if (index % Columns == 0) {
      content_.rows.emplace_back();
    }
    content_.rows.back().push_back({items[index].filename().string(), items[index].string()});
  }
  content_.contentSize = contentSize(items.size());
  if (window_) {
    window_->setContent(content_);
  }
}

void PeekPanel::itemTapped(const std::filesystem::path& entry) {
  if (onSelect_ && !entry.empty()) {
    // The callback may refill the panel, which replaces onSelect_.
    const OnSelect select = onSelect_;
    select(entry);
  }
}

std::optional<Rect> PeekPanel::frame() const {
  if (!window_) {
    return std::nullopt;
  }
  return window_->frame();
}

} // namespace quillon
