#pragma once

#include "platform/Localization.h"
#include "platform/UserInterface.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// The floating panel folder peek shows a folder in: the folder's name over
// a grid of its entries, four to a row, each an icon with its name. It is
// made once and refilled for every folder; it never takes the focus.
class PeekPanel {
public:
  using OnSelect = std::function<void(const std::filesystem::path& entry)>;

  static constexpr int Columns = 4;
  static constexpr Size CellSize{80, 88};
  static constexpr double CellSpacing = 8;
  // Around the grid: the title band above, the margins beside and below.
  static constexpr double TitleBand = 36;
  static constexpr double SideMargins = 24;
  static constexpr double BottomMargin = 12;
  static constexpr Size MinimumSize{140, 90};
  static constexpr Size InitialSize{360, 220};
  static constexpr std::string_view EmptyFolderText = "Empty folder";

  PeekPanel(UserInterface& userInterface, const Localization& localization);
  PeekPanel(const PeekPanel&) = delete;
  PeekPanel& operator=(const PeekPanel&) = delete;

  // The content size for a number of entries.
  static Size contentSize(std::size_t entryCount);

  void update(std::string folderName, const std::vector<std::filesystem::path>& items,
              OnSelect onSelect);
  // A cell's action: hands its entry to the selection callback.
  void itemTapped(const std::filesystem::path& entry);

  Size size() const { return content_.contentSize; }
  const FloatingPanelContent& content() const { return content_; }
  // Absent where the platform has no floating panels.
  FloatingPanel* window() { return window_.get(); }
  bool isVisible() const { return window_ && window_->isVisible(); }
  std::optional<Rect> frame() const;

private:
  const Localization& localization_;
  FloatingPanelContent content_;
  OnSelect onSelect_;
  std::unique_ptr<FloatingPanel> window_;
};

} // namespace quillon
