#pragma once

#include "platform/UserInterface.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <vector>

namespace quillon {

// Owns a GObject reference and drops it when it goes.
template <typename T> struct GObjectUnref {
  void operator()(T* object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

// Owns a reference to a widget kept outside any container (a window, or a
// menu attached to nothing), destroying the widget when it goes.
struct GtkWidgetRelease {
  void operator()(GtkWidget* widget) const {
    gtk_widget_destroy(widget);
    g_object_unref(widget);
  }
};
using GtkWidgetPtr = std::unique_ptr<GtkWidget, GtkWidgetRelease>;
// Takes over a new widget's floating reference.
inline GtkWidgetPtr adoptWidget(GtkWidget* widget) {
  return GtkWidgetPtr(GTK_WIDGET(g_object_ref_sink(widget)));
}

// Hears the tag of the chosen item. Held weakly by the menu, so a choice
// that lands after its owner is gone is dropped.
using MenuChooser = std::function<void(int tag)>;

// The product's menu as a GTK menu: titles, check marks, greyed lines,
// separators, submenus and key-equivalent hints. A choice reaches the chooser
// from the main loop once the menu has finished with it, so the chooser may
// replace or destroy the very menu it was picked from.
GtkWidgetPtr makeGtkMenu(const std::vector<MenuItem>& items,
                         const std::shared_ptr<MenuChooser>& chooser);

// A menu popped up at a point of the screen (X coordinates, top-left
// origin), on a one-pixel anchor window there; it closes when this goes.
class GtkPopUpMenu {
public:
  GtkPopUpMenu(const std::vector<MenuItem>& items, std::shared_ptr<MenuChooser> chooser,
               GdkPoint at);
  GtkPopUpMenu(const GtkPopUpMenu&) = delete;
  GtkPopUpMenu& operator=(const GtkPopUpMenu&) = delete;

  // False when another application held the pointer, so it never opened,
  // and once it has closed.
  bool isShowing() const;
  GtkWidget* menu() const { return menu_.get(); }

private:
  std::shared_ptr<MenuChooser> chooser_;
  GtkWidgetPtr anchor_;
  GtkWidgetPtr menu_;
};

// Where the pointer is, in X coordinates.
GdkPoint pointerPosition();

// A key equivalent as a GTK accelerator: the key and its modifiers, with
// Command as Super and Option as Alt, as on a PC keyboard attached to the
// other system. Nothing for an empty key or one that is not UTF-8.
struct GtkAccelerator {
  guint key = 0;
  GdkModifierType modifiers{};
};
std::optional<GtkAccelerator> gtkAccelerator(const MenuItem& item);

} // namespace quillon
