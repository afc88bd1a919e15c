#include "platform/linux/GtkFloatingPanel.h"

#include <cmath>

namespace quillon {

namespace {

constexpr const char* pathKey = "quillon-cell-path";
constexpr int sideMargin = 12;
constexpr int topMargin = 8;
constexpr int bottomMargin = 12;
constexpr int iconTopGap = 4;
constexpr int nameWidthInCharacters = 10;

int whole(double value) {
  return static_cast<int>(std::lround(value));
}

// The icon the theme gives the file's type; a generic one when the file
// cannot be read.
GtkWidget* iconFor(const std::string& path) {
  GFile* file = g_file_new_for_path(path.c_str());
  GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_ICON, G_FILE_QUERY_INFO_NONE,
                                      nullptr, nullptr);
  GtkWidget* image = nullptr;
  if (GIcon* icon = info != nullptr ? g_file_info_get_icon(info) : nullptr) {
    image = gtk_image_new_from_gicon(icon, GTK_ICON_SIZE_DIALOG);
  } else {
    image = gtk_image_new_from_icon_name("text-x-generic", GTK_ICON_SIZE_DIALOG);
  }
  gtk_image_set_pixel_size(GTK_IMAGE(image), GtkFloatingPanel::IconSide);
  if (info != nullptr) {
    g_object_unref(info);
  }
  g_object_unref(file);
  return image;
}

} // namespace

GtkFloatingPanel::GtkFloatingPanel(const FloatingPanelStyle& style, const Screens& screens,
                                   std::function<void(const std::string& path)> cellChosen)
    : screens_(screens), cellChosen_(std::move(cellChosen)),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)), frame_{{0, 0}, style.contentSize} {
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_accept_focus(window, FALSE);
  gtk_window_set_focus_on_map(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_keep_above(window, TRUE);
  gtk_window_set_skip_taskbar_hint(window, TRUE);
  gtk_window_set_skip_pager_hint(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_title(window, "Quillon peek");
  // Closing it from outside only hides it: the feature keeps it for reuse.
  g_signal_connect(window_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
}

GtkFloatingPanel::~GtkFloatingPanel() {
  gtk_widget_destroy(window_);
}

GtkWidget* GtkFloatingPanel::makeCell(const PanelCell& cell) {
  GtkWidget* button = gtk_button_new();
  gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
  gtk_widget_set_can_focus(button, FALSE);
  gtk_widget_set_size_request(button, whole(cellSize_.width), whole(cellSize_.height));
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, iconTopGap);
  GtkWidget* icon = iconFor(cell.path);
  gtk_widget_set_margin_top(icon, iconTopGap);
  gtk_box_pack_start(GTK_BOX(column), icon, FALSE, FALSE, 0);
  GtkWidget* name = gtk_label_new(cell.name.c_str());
  gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_MIDDLE);
  gtk_label_set_line_wrap(GTK_LABEL(name), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(name), PANGO_WRAP_WORD_CHAR);
  gtk_label_set_lines(GTK_LABEL(name), NameLines);
  gtk_label_set_max_width_chars(GTK_LABEL(name), nameWidthInCharacters);
  gtk_label_set_justify(GTK_LABEL(name), GTK_JUSTIFY_CENTER);
  gtk_box_pack_start(GTK_BOX(column), name, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(button), column);
  g_object_set_data_full(G_OBJECT(button), pathKey, g_strdup(cell.path.c_str()), g_free);
  g_signal_connect(button, "clicked", G_CALLBACK(cellClicked), this);
  return button;
}

void GtkFloatingPanel::setContent(FloatingPanelContent content) {
  if (body_ != nullptr) {
    gtk_widget_destroy(body_);
  }
  cellSize_ = content.cellSize;
  body_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, topMargin);
  gtk_widget_set_margin_start(body_, sideMargin);
  gtk_widget_set_margin_end(body_, sideMargin);
  gtk_widget_set_margin_top(body_, topMargin);
  gtk_widget_set_margin_bottom(body_, bottomMargin);
  GtkWidget* title = gtk_label_new(nullptr);
  gchar* markup = g_markup_printf_escaped("<b>%s</b>", content.title.c_str());
  gtk_label_set_markup(GTK_LABEL(title), markup);
  g_free(markup);
  gtk_label_set_ellipsize(GTK_LABEL(title), PANGO_ELLIPSIZE_MIDDLE);
  gtk_box_pack_start(GTK_BOX(body_), title, FALSE, FALSE, 0);
  if (content.placeholder) {
    GtkWidget* placeholder = gtk_label_new(content.placeholder->c_str());
    gtk_widget_set_sensitive(placeholder, FALSE);
    gtk_box_pack_start(GTK_BOX(body_), placeholder, FALSE, FALSE, 0);
  }
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), static_cast<guint>(whole(content.spacing)));
  gtk_grid_set_column_spacing(GTK_GRID(grid), static_cast<guint>(whole(content.spacing)));
  for (std::size_t row = 0; row < content.rows.size(); ++row) {
    for (std::size_t column = 0; column < content.rows[row].size(); ++column) {
      gtk_grid_attach(GTK_GRID(grid), makeCell(content.rows[row][column]),
                      static_cast<gint>(column), static_cast<gint>(row), 1, 1);
    }
  }
  gtk_box_pack_start(GTK_BOX(body_), grid, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), body_);
  gtk_widget_show_all(body_);
  // The bottom-left corner stays where it was.
  frame_.size = content.contentSize;
  place();
}

void GtkFloatingPanel::setFrameOrigin(Point origin) {
  frame_.origin = origin;
  place();
}

void GtkFloatingPanel::place() {
  const auto screens = screens_.screens();
  const double primaryHeight = screens.empty() ? 0 : screens.front().frame.size.height;
  const int width = whole(frame_.size.width);
  const int height = whole(frame_.size.height);
  gtk_widget_set_size_request(window_, width, height);
  gtk_window_resize(GTK_WINDOW(window_), width, height);
  gtk_window_move(GTK_WINDOW(window_), whole(frame_.origin.x),
                  whole(primaryHeight - frame_.origin.y - frame_.size.height));
}

void GtkFloatingPanel::orderFrontRegardless() {
  gtk_widget_show_all(window_);
  if (GdkWindow* surface = gtk_widget_get_window(window_)) {
    gdk_window_raise(surface);
  }
}

void GtkFloatingPanel::orderOut() {
  gtk_widget_hide(window_);
}

bool GtkFloatingPanel::isVisible() const {
  return gtk_widget_get_visible(window_) != FALSE;
}

std::vector<GtkWidget*> GtkFloatingPanel::cellButtons() const {
  std::vector<GtkWidget*> buttons;
  if (body_ == nullptr) {
    return buttons;
  }
  GList* parts = gtk_container_get_children(GTK_CONTAINER(body_));
  GtkWidget* grid = parts != nullptr ? GTK_WIDGET(g_list_last(parts)->data) : nullptr;
  g_list_free(parts);
  if (grid == nullptr || !GTK_IS_GRID(grid)) {
    return buttons;
  }
  GList* cells = gtk_container_get_children(GTK_CONTAINER(grid));
  for (GList* cell = cells; cell != nullptr; cell = cell->next) {
    buttons.push_back(GTK_WIDGET(cell->data));
  }
  g_list_free(cells);
  return buttons;
}

void GtkFloatingPanel::cellClicked(GtkButton* button, gpointer panel) {
  const auto* path = static_cast<const char*>(g_object_get_data(G_OBJECT(button), pathKey));
  auto* self = static_cast<GtkFloatingPanel*>(panel);
  if (path != nullptr && self->cellChosen_) {
    // The callback may refill the panel, which destroys this button.
    const std::string chosen(path);
    self->cellChosen_(chosen);
  }
}

} // namespace quillon
