#include "platform/linux/GtkMenus.h"

#include "platform/EventFlags.h"

#include <glib.h>

namespace quillon {

namespace {

// The other system's function-key characters for the arrows.
constexpr gunichar upArrowCharacter = 0xF700;
constexpr gunichar downArrowCharacter = 0xF701;
constexpr gunichar leftArrowCharacter = 0xF702;
constexpr gunichar rightArrowCharacter = 0xF703;

guint keyvalFor(gunichar character) {
  switch (character) {
  case upArrowCharacter:
    return GDK_KEY_Up;
  case downArrowCharacter:
    return GDK_KEY_Down;
  case leftArrowCharacter:
    return GDK_KEY_Left;
  case rightArrowCharacter:
    return GDK_KEY_Right;
  default:
    // Any other character has a keysym, a Unicode one at worst.
    return gdk_unicode_to_keyval(g_unichar_tolower(character));
  }
}

// What one item does when chosen: the chooser, weakly, and the tag.
struct ItemAction {
  std::weak_ptr<MenuChooser> chooser;
  int tag = 0;
};

void deleteItemAction(gpointer action, GClosure*) {
  delete static_cast<ItemAction*>(action);
}

gboolean deliverChoice(gpointer data) {
  const std::unique_ptr<ItemAction> action(static_cast<ItemAction*>(data));
  if (const auto chooser = action->chooser.lock(); chooser && *chooser) {
    (*chooser)(action->tag);
  }
  return G_SOURCE_REMOVE;
}

void itemActivated(GtkMenuItem*, gpointer data) {
  // Delivered from the main loop rather than inside GTK's signal emission:
  // the chooser may rebuild the menu that is emitting it.
  const auto* action = static_cast<const ItemAction*>(data);
  g_idle_add(deliverChoice, new ItemAction(*action));
}

GtkWidget* newMenu(const std::vector<MenuItem>& items, const std::shared_ptr<MenuChooser>& chooser,
                   GtkAccelGroup* accelerators);

GtkWidget* makeGtkMenuItem(const MenuItem& item, const std::shared_ptr<MenuChooser>& chooser,
                           GtkAccelGroup* accelerators) {
  if (item.separator) {
    return gtk_separator_menu_item_new();
  }
  // Only a checked item shows a box, as a menu shows no mark for "off".
  GtkWidget* widget = item.checked ? gtk_check_menu_item_new_with_label(item.title.c_str())
                                   : gtk_menu_item_new_with_label(item.title.c_str());
  if (item.checked) {
    // Before the action is connected: setting the state activates the item.
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), TRUE);
  }
  gtk_widget_set_sensitive(widget, item.enabled);
  // Through an accelerator group, which is where the exported menu reads
  // its shortcuts from; it also makes them work while a popped-up menu is
  // open.
  if (const auto accelerator = gtkAccelerator(item)) {
    gtk_widget_add_accelerator(widget, "activate", accelerators, accelerator->key,
                               accelerator->modifiers, GTK_ACCEL_VISIBLE);
  }
  if (!item.submenu.empty()) {
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), newMenu(item.submenu, chooser, accelerators));
    return widget;
  }
  if (item.tag) {
    g_signal_connect_data(widget, "activate", G_CALLBACK(itemActivated),
                          new ItemAction{chooser, *item.tag}, deleteItemAction, GConnectFlags{});
  }
  return widget;
}

// A menu with a floating reference, for whoever takes it.
GtkWidget* newMenu(const std::vector<MenuItem>& items, const std::shared_ptr<MenuChooser>& chooser,
                   GtkAccelGroup* accelerators) {
  GtkWidget* menu = gtk_menu_new();
  gtk_menu_set_accel_group(GTK_MENU(menu), accelerators);
  for (const MenuItem& item : items) {
    GtkWidget* widget = makeGtkMenuItem(item, chooser, accelerators);
    gtk_widget_show(widget);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
  }
  return menu;
}

} // namespace

std::optional<GtkAccelerator> gtkAccelerator(const MenuItem& item) {
  if (item.keyEquivalent.empty() ||
      !g_utf8_validate(item.keyEquivalent.data(), static_cast<gssize>(item.keyEquivalent.size()),
                       nullptr)) {
    return std::nullopt;
  }
  const gunichar character = g_utf8_get_char(item.keyEquivalent.c_str());
  GtkAccelerator accelerator{keyvalFor(character), GdkModifierType{}};
  const auto add = [&accelerator](GdkModifierType modifier) {
    accelerator.modifiers = static_cast<GdkModifierType>(accelerator.modifiers | modifier);
  };
  const EventFlags mask = item.keyEquivalentModifierMask;
  // An upper-case key equivalent implies Shift.
  if (hasFlag(mask, flag::Shift) || g_unichar_isupper(character)) {
    add(GDK_SHIFT_MASK);
  }
  if (hasFlag(mask, flag::Control)) {
    add(GDK_CONTROL_MASK);
  }
  if (hasFlag(mask, flag::Option)) {
    add(GDK_MOD1_MASK);
  }
  if (hasFlag(mask, flag::Command)) {
    add(GDK_SUPER_MASK);
  }
  return accelerator;
}

GtkWidgetPtr makeGtkMenu(const std::vector<MenuItem>& items,
                         const std::shared_ptr<MenuChooser>& chooser) {
  GtkAccelGroup* accelerators = gtk_accel_group_new();
  GtkWidgetPtr menu = adoptWidget(newMenu(items, chooser, accelerators));
  // Kept until the menu itself goes, after every item whose label shows one
  // of its accelerators.
  g_object_set_data_full(G_OBJECT(menu.get()), "quillon-accelerators", accelerators,
                         g_object_unref);
  return menu;
}

GtkPopUpMenu::GtkPopUpMenu(const std::vector<MenuItem>& items, std::shared_ptr<MenuChooser> chooser,
                           GdkPoint at)
    : chooser_(std::move(chooser)), anchor_(adoptWidget(gtk_window_new(GTK_WINDOW_POPUP))),
      menu_(makeGtkMenu(items, chooser_)) {
  GtkWindow* anchor = GTK_WINDOW(anchor_.get());
  gtk_window_set_default_size(anchor, 1, 1);
  gtk_window_move(anchor, at.x, at.y);
  gtk_widget_show(anchor_.get());
  // GTK grabs the pointer for a menu in answer to a click; a menu opened by
  // a hotkey or a timer gets a stand-in for that click.
  GdkEvent* trigger = gdk_event_new(GDK_BUTTON_RELEASE);
  trigger->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(anchor_.get())));
  trigger->button.time = GDK_CURRENT_TIME;
  gdk_event_set_device(trigger, gdk_seat_get_pointer(gdk_display_get_default_seat(
                                    gtk_widget_get_display(anchor_.get()))));
  gtk_menu_popup_at_widget(GTK_MENU(menu_.get()), anchor_.get(), GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, trigger);
  gdk_event_free(trigger);
}

bool GtkPopUpMenu::isShowing() const {
  return gtk_widget_get_visible(menu_.get()) != FALSE;
}

GdkPoint pointerPosition() {
  GdkPoint point{0, 0};
  GdkDisplay* display = gdk_display_get_default();
  gdk_device_get_position(gdk_seat_get_pointer(gdk_display_get_default_seat(display)), nullptr,
                          &point.x, &point.y);
  return point;
}

} // namespace quillon
