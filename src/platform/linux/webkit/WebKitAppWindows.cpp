#include "platform/linux/webkit/WebKitAppWindows.h"

#include "platform/linux/webkit/WebKitWebViews.h"

#include <algorithm>
#include <utility>
#include <webkit2/webkit2.h>

namespace quillon {

namespace {

// The editing commands the engine knows, by the product's action names.
constexpr std::pair<std::string_view, const char*> editingCommands[] = {
    {"undo:", "Undo"},
    {"redo:", "Redo"},
    {"cut:", WEBKIT_EDITING_COMMAND_CUT},
    {"copy:", WEBKIT_EDITING_COMMAND_COPY},
    {"paste:", WEBKIT_EDITING_COMMAND_PASTE},
    {"pasteAsPlainText:", WEBKIT_EDITING_COMMAND_PASTE_AS_PLAIN_TEXT},
    {"delete:", "Delete"},
    {"selectAll:", WEBKIT_EDITING_COMMAND_SELECT_ALL},
};

// Other applications' windows are their own business on this desktop.
constexpr std::string_view meaninglessActions[] = {"hideOtherApplications:"};

GdkModifierType acceleratorModifiers(EventFlags flags) {
  unsigned mask = 0;
  if (hasFlag(flags, flag::Command)) {
    mask |= GDK_CONTROL_MASK;
  }
  if (hasFlag(flags, flag::Shift)) {
    mask |= GDK_SHIFT_MASK;
  }
  if (hasFlag(flags, flag::Option)) {
    mask |= GDK_MOD1_MASK;
  }
  if (hasFlag(flags, flag::Control)) {
    mask |= GDK_SUPER_MASK;
  }
  return static_cast<GdkModifierType>(mask);
}

guint acceleratorKey(const std::string& keyEquivalent) {
  if (keyEquivalent.size() != 1) {
    return 0;
  }
  return gdk_keyval_to_lower(gdk_unicode_to_keyval(static_cast<unsigned char>(keyEquivalent[0])));
}

bool isMeaningless(std::string_view action) {
  return std::find(std::begin(meaninglessActions), std::end(meaninglessActions), action) !=
         std::end(meaninglessActions);
}

} // namespace

// One window with its menu bar; the menu items keep what they stand for.
class WebKitAppWindow final : public AppWindow {
public:
  WebKitAppWindow(WebKitAppWindows& owner, const WindowStyle& style)
      : owner_(owner), window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
        box_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0)), accelerators_(gtk_accel_group_new()) {
    gtk_window_set_default_size(GTK_WINDOW(window_), static_cast<int>(style.contentSize.width),
                                static_cast<int>(style.contentSize.height));
    gtk_window_set_resizable(GTK_WINDOW(window_), style.resizable);
    gtk_window_set_title(GTK_WINDOW(window_), owner_.applicationName().c_str());
    gtk_window_add_accel_group(GTK_WINDOW(window_), accelerators_);
    gtk_container_add(GTK_CONTAINER(window_), box_);
    buildMenuBar();
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
  }
  ~WebKitAppWindow() override {
    owner_.forget(*this);
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
    g_object_unref(accelerators_);
  }
  WebKitAppWindow(const WebKitAppWindow&) = delete;
  WebKitAppWindow& operator=(const WebKitAppWindow&) = delete;

  void setTitle(std::string_view title) override {
    gtk_window_set_title(GTK_WINDOW(window_), std::string(title).c_str());
  }
  void setContent(WebView& view) override {
    GtkWidget* widget = webKitWidgetOf(view);
    if (widget == nullptr) {
      return;
    }
    if (content_ != nullptr) {
      gtk_container_remove(GTK_CONTAINER(box_), content_);
    }
    content_ = widget;
    gtk_box_pack_start(GTK_BOX(box_), content_, TRUE, TRUE, 0);
  }
  void center() override { gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER); }
  void makeKeyAndOrderFront() override {
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
  }
  bool isVisible() const override { return gtk_widget_get_visible(window_) != FALSE; }

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  void runEditingCommand(std::string_view action) {
    if (content_ == nullptr || !WEBKIT_IS_WEB_VIEW(content_)) {
      return;
    }
    for (const auto& [name, command] : editingCommands) {
      if (name == action) {
        webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(content_), command);
        return;
      }
    }
  }

private:
  struct Binding {
    WebKitAppWindow* window;
    MainMenuItem item;
  };

  void buildMenuBar() {
    if (owner_.menus().empty()) {
      return;
    }
    GtkWidget* bar = gtk_menu_bar_new();
    for (const MainMenu& menu : owner_.menus()) {
      GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
      GtkWidget* submenu = gtk_menu_new();
      gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators_);
      for (const MainMenuItem& item : menu.items) {
        addItem(GTK_MENU_SHELL(submenu), item);
      }
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
      gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    gtk_box_pack_start(GTK_BOX(box_), bar, FALSE, FALSE, 0);
  }

  void addItem(GtkMenuShell* menu, const MainMenuItem& item) {
    if (item.separator) {
      gtk_menu_shell_append(menu, gtk_separator_menu_item_new());
      return;
    }
    Binding& binding = *bindings_.emplace_back(std::make_unique<Binding>(Binding{this, item}));
    const guint key = acceleratorKey(item.keyEquivalent);
    const GdkModifierType modifiers = acceleratorModifiers(item.modifiers);
    if (item.hiddenAlternate) {
      // A second shortcut for the item above, with no row of its own.
      if (key != 0) {
        GClosure* closure = g_cclosure_new(G_CALLBACK(onAccelerator), &binding, nullptr);
        gtk_accel_group_connect(accelerators_, key, modifiers, GTK_ACCEL_VISIBLE, closure);
      }
      return;
    }
    GtkWidget* widget = item.checkable ? gtk_check_menu_item_new_with_label(item.title.c_str())
                                       : gtk_menu_item_new_with_label(item.title.c_str());
    if (item.checkable) {
      gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), item.checked);
      owner_.remember(item.action, GTK_CHECK_MENU_ITEM(widget));
    }
    if (key != 0) {
      gtk_widget_add_accelerator(widget, "activate", accelerators_, key, modifiers,
                                 GTK_ACCEL_VISIBLE);
    }
    gtk_widget_set_sensitive(widget, !isMeaningless(item.action));
    g_signal_connect(widget, "activate", G_CALLBACK(onActivate), &binding);
    gtk_menu_shell_append(menu, widget);
  }

  static void onActivate(GtkMenuItem*, gpointer data) {
    auto& binding = *static_cast<Binding*>(data);
    binding.window->owner_.perform(*binding.window, binding.item);
  }
  static gboolean onAccelerator(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer data) {
    onActivate(nullptr, data);
    return TRUE;
  }
  // Nothing brings a closed window back on this desktop, so closing it
  // ends the web app, as it does every other application here.
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<WebKitAppWindow*>(data)->owner_.application().terminate();
    return TRUE;
  }

  WebKitAppWindows& owner_;
  GtkWidget* window_;
  GtkWidget* box_;
  GtkWidget* content_ = nullptr;
  GtkAccelGroup* accelerators_;
  std::vector<std::unique_ptr<Binding>> bindings_;
};

WebKitAppWindows::~WebKitAppWindows() = default;

std::unique_ptr<AppWindow> WebKitAppWindows::makeWindow(const WindowStyle& style) {
  auto window = std::make_unique<WebKitAppWindow>(*this, style);
  windows_.push_back(window.get());
  return window;
}

void WebKitAppWindows::setMainMenu(std::vector<MainMenu> menus,
                                   std::function<void(std::string_view)> chosen) {
  menus_ = std::move(menus);
  chosen_ = std::move(chosen);
  applicationName_ = menus_.empty() ? std::string() : menus_.front().title;
}

void WebKitAppWindows::remember(const std::string& action, GtkCheckMenuItem* item) {
  checkItems_.emplace(action, item);
}

void WebKitAppWindows::setMenuItemChecked(std::string_view action, bool checked) {
  const auto [first, last] = checkItems_.equal_range(std::string(action));
  for (auto it = first; it != last; ++it) {
    // Setting the state activates the item; that is not the user choosing.
    settingCheck_ = true;
    gtk_check_menu_item_set_active(it->second, checked);
    settingCheck_ = false;
  }
}

void WebKitAppWindows::activateApplication() {
  for (WebKitAppWindow* window : windows_) {
    gtk_window_present(window->window());
  }
}

void WebKitAppWindows::forget(WebKitAppWindow& window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), &window), windows_.end());
  checkItems_.clear();
}

void WebKitAppWindows::perform(WebKitAppWindow& window, const MainMenuItem& item) {
  if (settingCheck_) {
    return;
  }
  if (item.target == MenuTarget::Delegate) {
    if (chosen_) {
      chosen_(item.action);
    }
    return;
  }
  const std::string_view action = item.action;
  if (action == "terminate:") {
    application_.terminate();
  } else if (action == "hide:" || action == "performMiniaturize:") {
    gtk_window_iconify(window.window());
  } else if (action == "performZoom:") {
    if (gtk_window_is_maximized(window.window())) {
      gtk_window_unmaximize(window.window());
    } else {
      gtk_window_maximize(window.window());
    }
  } else if (action == "arrangeInFront:" || action == "unhideAllApplications:") {
    activateApplication();
  } else if (action == "orderFrontStandardAboutPanel:") {
    gtk_show_about_dialog(window.window(), "program-name", applicationName_.c_str(), nullptr);
  } else {
    window.runEditingCommand(action);
  }
}

} // namespace quillon
