#include "platform/linux/LinuxStatusItem.h"

#include <libdbusmenu-glib/server.h>
#include <pango/pangocairo.h>
#include <string>
#include <utility>

namespace quillon {

namespace {

constexpr const char* indicatorId = "quillon";
constexpr const char* trayWatcherName = "org.kde.StatusNotifierWatcher";
constexpr std::string_view noTrayLine =
    "Quillon: no system tray (StatusNotifierWatcher) on the session bus; the tray icon and "
    "menu are unavailable, hotkeys keep working";
constexpr std::string_view trayFoundLine = "Quillon: system tray found; tray icon shown";

// Drawn at twice a usual panel's height, so it stays sharp where the host
// scales it up.
constexpr int iconHeight = 44;
constexpr double iconScale = iconHeight / 22.0;
constexpr double iconPadding = 8;
constexpr double iconCornerRadius = 8;

struct Rgba {
  double red, green, blue, alpha;
};
// A dark plate under the title reads on light and dark panels alike.
constexpr Rgba iconPlate{0.16, 0.16, 0.17, 0.92};
constexpr Rgba labelColor{0.96, 0.96, 0.96, 1};
constexpr Rgba systemRedColor{1.0, 0.27, 0.23, 1};

PangoWeight pangoWeight(FontWeight weight) {
  switch (weight) {
  case FontWeight::Regular:
    return PANGO_WEIGHT_NORMAL;
  case FontWeight::Semibold:
    return PANGO_WEIGHT_SEMIBOLD;
  case FontWeight::Bold:
    return PANGO_WEIGHT_BOLD;
  }
  return PANGO_WEIGHT_NORMAL;
}

void setColor(cairo_t* cr, const Rgba& color) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

void roundedRectangle(cairo_t* cr, double width, double height, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - radius, radius, radius, -G_PI / 2, 0);
  cairo_arc(cr, width - radius, height - radius, radius, 0, G_PI / 2);
  cairo_arc(cr, radius, height - radius, radius, G_PI / 2, G_PI);
  cairo_arc(cr, radius, radius, radius, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
}

GObjectPtr<PangoLayout> titleLayout(cairo_t* cr, const StatusItemAppearance& appearance) {
  GObjectPtr<PangoLayout> layout(pango_cairo_create_layout(cr));
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, appearance.monospaced ? "Monospace" : "Sans");
  pango_font_description_set_weight(font, pangoWeight(appearance.weight));
  pango_font_description_set_absolute_size(font, appearance.fontSize * iconScale * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  pango_layout_set_text(layout.get(), appearance.title.c_str(), -1);
  return layout;
}

// The title on its plate, as a PNG file; false when it could not be written.
bool writeStatusIcon(const StatusItemAppearance& appearance, const std::string& file) {
  cairo_surface_t* measuring = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* measure = cairo_create(measuring);
  int textWidth = 0;
  int textHeight = 0;
  pango_layout_get_pixel_size(titleLayout(measure, appearance).get(), &textWidth, &textHeight);
  cairo_destroy(measure);
  cairo_surface_destroy(measuring);

  const int width = std::max(iconHeight, textWidth + static_cast<int>(2 * iconPadding));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, iconHeight);
  cairo_t* cr = cairo_create(surface);
  roundedRectangle(cr, width, iconHeight, iconCornerRadius);
  setColor(cr, iconPlate);
  cairo_fill(cr);
  setColor(cr, appearance.color == NamedColor::SystemRed ? systemRedColor : labelColor);
  cairo_move_to(cr, (width - textWidth) / 2.0, (iconHeight - textHeight) / 2.0);
  pango_cairo_show_layout(cr, titleLayout(cr, appearance).get());
  cairo_destroy(cr);
  const bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written;
}

// An indicator that never falls back to an XEmbed tray icon when no
// StatusNotifier host is there: that path is deprecated, shows nothing on
// today's desktops, and crashes inside the library now and then.
GType trayOnlyIndicatorType() {
  static const GType type = g_type_register_static_simple(
      APP_INDICATOR_TYPE, "QuillonTrayOnlyIndicator", sizeof(AppIndicatorClass),
      [](gpointer indicatorClass, gpointer) {
        auto* klass = static_cast<AppIndicatorClass*>(indicatorClass);
        klass->fallback = nullptr;
        klass->unfallback = nullptr;
      },
      sizeof(AppIndicator), nullptr, GTypeFlags{});
  return type;
}

} // namespace

LinuxStatusItem::LinuxStatusItem(StatusItemHandlers handlers, Log& log)
    : handlers_(std::make_shared<StatusItemHandlers>(std::move(handlers))), log_(log) {
  // The handlers are copied before each call: the owner may replace the
  // menu, and with it what a choice leads to, while one runs.
  chooser_ = std::make_shared<MenuChooser>(
      [handlers = std::weak_ptr<StatusItemHandlers>(handlers_)](int tag) {
        const auto live = handlers.lock();
        if (!live) {
          return;
        }
        if (const auto chosen = live->menuItemChosen) {
          chosen(tag);
        }
      });
  indicator_.reset(
      APP_INDICATOR(g_object_new(trayOnlyIndicatorType(), "id", indicatorId, "category",
                                 "ApplicationStatus", "icon-name", "input-keyboard", nullptr)));
  app_indicator_set_title(indicator_.get(), "Quillon");
  app_indicator_set_icon_theme_path(indicator_.get(), iconFolder_.path().c_str());
  setMenu({});
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
  trayWatch_ = g_bus_watch_name(G_BUS_TYPE_SESSION, trayWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                trayWatcherAppeared, trayWatcherVanished, this, nullptr);
}

LinuxStatusItem::~LinuxStatusItem() {
  g_bus_unwatch_name(trayWatch_);
  stopWatchingMenuOpening();
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_PASSIVE);
}

void LinuxStatusItem::trayWatcherAppeared(GDBusConnection*, const gchar*, const gchar*,
                                          gpointer self) {
  auto& item = *static_cast<LinuxStatusItem*>(self);
  if (std::exchange(item.reportedNoTray_, false)) {
    item.log_.write(trayFoundLine);
  }
}

void LinuxStatusItem::trayWatcherVanished(GDBusConnection*, const gchar*, gpointer self) {
  auto& item = *static_cast<LinuxStatusItem*>(self);
  if (!std::exchange(item.reportedNoTray_, true)) {
    item.log_.write(noTrayLine);
  }
}

void LinuxStatusItem::setAppearance(const StatusItemAppearance& appearance) {
  // A new name each time: hosts cache icons by name.
  const std::string name = "quillon-status-" + std::to_string(++iconGeneration_);
  const std::string file = (iconFolder_.path() / (name + ".png")).string();
  std::filesystem::remove(iconFolder_.path() /
                          ("quillon-status-" + std::to_string(iconGeneration_ - 2) + ".png"));
  if (!writeStatusIcon(appearance, file)) {
    log_.write("Quillon: could not draw the tray icon into " + file);
    return;
  }
  const std::string description = appearance.tooltip.value_or("Quillon");
  app_indicator_set_icon_full(indicator_.get(), name.c_str(), description.c_str());
  app_indicator_set_label(indicator_.get(), appearance.title.c_str(), appearance.title.c_str());
  app_indicator_set_title(indicator_.get(), description.c_str());
}

void LinuxStatusItem::setMenu(std::vector<MenuItem> items) {
  // An unchanged menu keeps its exported ids, so a host that is showing it
  // can still deliver a click on it.
  if (menu_ && items == items_) {
    return;
  }
  items_ = std::move(items);
  GtkWidgetPtr menu = makeGtkMenu(items_, chooser_);
  app_indicator_set_menu(indicator_.get(), GTK_MENU(menu.get()));
  menu_ = std::move(menu);
  watchMenuOpening();
}

// The exported root item hears the host ask for the menu; a new menu brings
// a new root.
void LinuxStatusItem::watchMenuOpening() {
  stopWatchingMenuOpening();
  DbusmenuServer* server = nullptr;
  g_object_get(indicator_.get(), "dbus-menu-server", &server, nullptr);
  if (server == nullptr) {
    return;
  }
  DbusmenuMenuitem* root = nullptr;
  g_object_get(server, DBUSMENU_SERVER_PROP_ROOT_NODE, &root, nullptr);
  g_object_unref(server);
  if (root == nullptr) {
    return;
  }
  // Held, so the handlers can be disconnected even once the exported menu
  // has moved on to a new root.
  root_.reset(G_OBJECT(root));
  rootHandlers_.push_back(g_signal_connect(root, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW,
                                           G_CALLBACK(rootAboutToShow), this));
  rootHandlers_.push_back(g_signal_connect(root, "event::opened", G_CALLBACK(rootOpened), this));
}

void LinuxStatusItem::stopWatchingMenuOpening() {
  for (const gulong handler : rootHandlers_) {
    g_signal_handler_disconnect(root_.get(), handler);
  }
  rootHandlers_.clear();
  root_.reset();
}

void LinuxStatusItem::rootAboutToShow(gpointer, gpointer self) {
  static_cast<LinuxStatusItem*>(self)->menuWillOpen();
}

gboolean LinuxStatusItem::rootOpened(gpointer, const gchar*, GVariant*, guint, gpointer self) {
  static_cast<LinuxStatusItem*>(self)->menuWillOpen();
  // Not handled: the menu's own handling of the event goes on.
  return FALSE;
}

void LinuxStatusItem::menuWillOpen() {
  // From the main loop: the owner republishes the menu, which replaces the
  // root item that is emitting this.
  g_idle_add(
      [](gpointer data) {
        const std::unique_ptr<std::weak_ptr<StatusItemHandlers>> handlers(
            static_cast<std::weak_ptr<StatusItemHandlers>*>(data));
        if (const auto live = handlers->lock()) {
          if (const auto willOpen = live->menuWillOpen) {
            willOpen();
          }
        }
        return gboolean{G_SOURCE_REMOVE};
      },
      new std::weak_ptr<StatusItemHandlers>(handlers_));
}

void LinuxStatusItem::popUpMenu() {
  if (const auto willOpen = handlers_->menuWillOpen) {
    willOpen();
  }
  poppedUpMenu_.reset();
  poppedUpMenu_ = std::make_unique<GtkPopUpMenu>(items_, chooser_, pointerPosition());
}

} // namespace quillon
