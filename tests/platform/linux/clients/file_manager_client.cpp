// A stand-in file manager for the folder peek tests: one window listing a
// folder's entries, as a list (GtkTreeView) or a grid (GtkIconView), whose
// items reach the accessibility bus the way GTK file managers' do, and the
// org.freedesktop.FileManager1 property that maps the window to its folder.
// Usage: file_manager_client FOLDER [--grid]. Once shown it prints, for
// each entry, "cell NAME X Y WIDTH HEIGHT" in screen coordinates, then
// "ready".

#include <algorithm>
#include <filesystem>
#include <gtk/gtk.h>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* applicationId = "org.quillon.TestFiles";
constexpr const char* introspection = R"(<node>
  <interface name="org.freedesktop.FileManager1">
    <property name="OpenWindowsWithLocations" type="a{sas}" access="read"/>
  </interface>
</node>)";

struct Client {
  std::filesystem::path folder;
  bool grid = false;
  GtkApplicationWindow* window = nullptr;
  GtkWidget* view = nullptr;
  std::vector<std::string> names;
};

std::string windowObjectPath(GApplication* application, GtkApplicationWindow* window) {
  return std::string(g_application_get_dbus_object_path(application)) + "/window/" +
         std::to_string(gtk_application_window_get_id(window));
}

GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                      const gchar* property, GError**, gpointer data) {
  auto& client = *static_cast<Client*>(data);
  if (g_strcmp0(property, "OpenWindowsWithLocations") != 0 || client.window == nullptr) {
    return nullptr;
  }
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sas}"));
  gchar* uri = g_filename_to_uri(client.folder.c_str(), nullptr, nullptr);
  const gchar* uris[] = {uri, nullptr};
  g_variant_builder_add(&builder, "{s^as}",
                        windowObjectPath(g_application_get_default(), client.window).c_str(), uris);
  g_free(uri);
  return g_variant_builder_end(&builder);
}

void printCells(Client& client) {
  for (std::size_t index = 0; index < client.names.size(); ++index) {
    GdkRectangle area{};
    GdkWindow* surface = nullptr;
    if (client.grid) {
      GtkTreePath* path = gtk_tree_path_new_from_indices(static_cast<gint>(index), -1);
      gtk_icon_view_get_cell_rect(GTK_ICON_VIEW(client.view), path, nullptr, &area);
      gtk_tree_path_free(path);
      // Cell rectangles are in the view's own coordinates.
      int viewX = 0;
      int viewY = 0;
      gtk_widget_translate_coordinates(client.view, gtk_widget_get_toplevel(client.view), 0, 0,
                                       &viewX, &viewY);
      surface = gtk_widget_get_window(gtk_widget_get_toplevel(client.view));
      area.x += viewX;
      area.y += viewY;
    } else {
      GtkTreePath* path = gtk_tree_path_new_from_indices(static_cast<gint>(index), -1);
      GtkTreeViewColumn* column = gtk_tree_view_get_column(GTK_TREE_VIEW(client.view), 0);
      gtk_tree_view_get_cell_area(GTK_TREE_VIEW(client.view), path, column, &area);
      gtk_tree_path_free(path);
      surface = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(client.view));
    }
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(surface, &originX, &originY);
    std::cout << "cell " << client.names[index] << ' ' << originX + area.x << ' '
              << originY + area.y << ' ' << area.width << ' ' << area.height << '\n';
  }
  std::cout << "ready" << std::endl;
}

gboolean reportWhenDrawn(gpointer data) {
  printCells(*static_cast<Client*>(data));
  return G_SOURCE_REMOVE;
}

void activate(GtkApplication* application, gpointer data) {
  auto& client = *static_cast<Client*>(data);
  for (const auto& entry : std::filesystem::directory_iterator(client.folder)) {
    client.names.push_back(entry.path().filename().string());
  }
  std::sort(client.names.begin(), client.names.end());
  GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
  for (const auto& name : client.names) {
    gtk_list_store_insert_with_values(store, nullptr, -1, 0, name.c_str(), -1);
  }
  client.window = GTK_APPLICATION_WINDOW(gtk_application_window_new(application));
  gtk_window_set_title(GTK_WINDOW(client.window), "Test Files");
  gtk_window_set_default_size(GTK_WINDOW(client.window), 500, 400);
  gtk_window_move(GTK_WINDOW(client.window), 100, 100);
  if (client.grid) {
    client.view = gtk_icon_view_new_with_model(GTK_TREE_MODEL(store));
    gtk_icon_view_set_text_column(GTK_ICON_VIEW(client.view), 0);
    gtk_icon_view_set_item_width(GTK_ICON_VIEW(client.view), 100);
  } else {
    client.view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    gtk_tree_view_append_column(GTK_TREE_VIEW(client.view),
                                gtk_tree_view_column_new_with_attributes(
                                    "Name", gtk_cell_renderer_text_new(), "text", 0, nullptr));
  }
  g_object_unref(store);
  gtk_container_add(GTK_CONTAINER(client.window), client.view);
  gtk_widget_show_all(GTK_WIDGET(client.window));

  static const GDBusInterfaceVTable table{nullptr, getProperty, nullptr, {}};
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
  GDBusConnection* bus = g_application_get_dbus_connection(G_APPLICATION(application));
  g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1", node->interfaces[0],
                                    &table, &client, nullptr, nullptr);
  g_dbus_node_info_unref(node);
  g_bus_own_name_on_connection(bus, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
                               nullptr, nullptr, nullptr, nullptr);
  // Geometry is final once the window has been drawn.
  g_timeout_add(500, reportWhenDrawn, &client);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: file_manager_client FOLDER [--grid]\n";
    return 2;
  }
  Client client;
  client.folder = argv[1];
  client.grid = argc > 2 && std::string(argv[2]) == "--grid";
  GtkApplication* application = gtk_application_new(applicationId, G_APPLICATION_NON_UNIQUE);
  g_signal_connect(application, "activate", G_CALLBACK(activate), &client);
  char* arguments[] = {argv[0], nullptr};
  const int status = g_application_run(G_APPLICATION(application), 1, arguments);
  g_object_unref(application);
  return status;
}
