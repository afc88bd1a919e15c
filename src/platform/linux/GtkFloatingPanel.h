#pragma once

#include "platform/Screens.h"
#include "platform/UserInterface.h"

#include <functional>
#include <gtk/gtk.h>
#include <string>

namespace quillon {

// A floating panel as a GTK window the window manager never focuses: it
// accepts no focus, is not focused when mapped, and is kept above others
// as a utility window, so clicking one of its cells leaves the user's
// window active. Each cell shows the icon theme's picture for its file.
class GtkFloatingPanel final : public FloatingPanel {
public:
  static constexpr int IconSide = 48;
  static constexpr int NameLines = 2;

  GtkFloatingPanel(const FloatingPanelStyle& style, const Screens& screens,
                   std::function<void(const std::string& path)> cellChosen);
  ~GtkFloatingPanel() override;
  GtkFloatingPanel(const GtkFloatingPanel&) = delete;
  GtkFloatingPanel& operator=(const GtkFloatingPanel&) = delete;

  void setContent(FloatingPanelContent content) override;
  Rect frame() const override { return frame_; }
  void setFrameOrigin(Point origin) override;
  void orderFrontRegardless() override;
  void orderOut() override;
  bool isVisible() const override;

  GtkWidget* window() const { return window_; }
  // The cells' buttons, row by row; for tests.
  std::vector<GtkWidget*> cellButtons() const;

private:
  GtkWidget* makeCell(const PanelCell& cell);
  void place();
  static void cellClicked(GtkButton* button, gpointer panel);

  const Screens& screens_;
  std::function<void(const std::string& path)> cellChosen_;
  GtkWidget* window_;
  GtkWidget* body_ = nullptr;
  // Screen coordinates, y upwards, as the product counts.
  Rect frame_;
  Size cellSize_;
};

} // namespace quillon
