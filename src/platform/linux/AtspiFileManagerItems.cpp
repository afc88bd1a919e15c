#include "platform/linux/AtspiFileManagerItems.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <atspi/atspi.h>
#include <cstdlib>
#include <gio/gio.h>
#include <memory>
#include <vector>

namespace quillon {

namespace {

template <typename T> struct Unref {
  void operator()(T* object) const {
    if (object != nullptr) {
      g_object_unref(object);
    }
  }
};
template <typename T> using Ref = std::unique_ptr<T, Unref<T>>;

struct VariantUnref {
  void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantRef = std::unique_ptr<GVariant, VariantUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorRef = std::unique_ptr<GError, ErrorFree>;

std::string takeText(gchar* text) {
  std::string copy = text != nullptr ? text : "";
  g_free(text);
  return copy;
}

bool isItemRole(AtspiRole role) {
  return role == ATSPI_ROLE_TABLE_CELL || role == ATSPI_ROLE_ICON || role == ATSPI_ROLE_LIST_ITEM;
}

bool isWindowRole(AtspiRole role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG;
}

// The application on the accessibility bus that runs a process.
Ref<AtspiAccessible> applicationOf(unsigned long processIdentifier) {
  Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
  if (!desktop) {
    return nullptr;
  }
  const gint count = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (gint index = 0; index < count; ++index) {
    Ref<AtspiAccessible> application(
        atspi_accessible_get_child_at_index(desktop.get(), index, nullptr));
    if (application &&
        atspi_accessible_get_process_id(application.get(), nullptr) == processIdentifier) {
      return application;
    }
  }
  return nullptr;
}

// The application's top-level accessible for the window titled so; the
// active one when no title matches.
Ref<AtspiAccessible> frameOf(AtspiAccessible* application, const std::string& title) {
  Ref<AtspiAccessible> fallback;
  const gint count = atspi_accessible_get_child_count(application, nullptr);
  for (gint index = 0; index < count; ++index) {
    Ref<AtspiAccessible> frame(atspi_accessible_get_child_at_index(application, index, nullptr));
    if (!frame || !isWindowRole(atspi_accessible_get_role(frame.get(), nullptr))) {
      continue;
    }
    if (takeText(atspi_accessible_get_name(frame.get(), nullptr)) == title) {
      return frame;
    }
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(frame.get()));
    if (!fallback || (states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE))) {
      fallback = std::move(frame);
    }
  }
  return fallback;
}

Ref<AtspiAccessible> shared(AtspiAccessible* accessible) {
  return Ref<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
}

Ref<AtspiAccessible> childAt(AtspiAccessible* parent, gint index) {
  return Ref<AtspiAccessible>(atspi_accessible_get_child_at_index(parent, index, nullptr));
}

std::optional<AtspiRect> windowExtents(AtspiAccessible* accessible) {
  Ref<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
  if (!component) {
    return std::nullopt;
  }
  AtspiRect* extents =
      atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, nullptr);
  if (extents == nullptr) {
    return std::nullopt;
  }
  const AtspiRect copy = *extents;
  g_free(extents);
  return copy;
}

bool holds(const AtspiRect& extents, int x, int y) {
  return extents.width > 0 && extents.height > 0 && extents.x <= x &&
         x < extents.x + extents.width && extents.y <= y && y < extents.y + extents.height;
}

// Some containers have no place of their own (GTK 3's notebook pages, of
// zero size; GTK 4's stack pages, with no place at all); their children
// have one.
bool isPlaceless(const std::optional<AtspiRect>& extents) {
  return !extents || extents->width <= 0 || extents->height <= 0;
}

// Items drawn without a place: a view whose items cannot be found by
// position (Nemo's icon view).
bool holdsPlacelessItems(AtspiAccessible* view) {
  constexpr gint itemsLooked = 4;
  const gint count = std::min(atspi_accessible_get_child_count(view, nullptr), itemsLooked);
  for (gint index = 0; index < count; ++index) {
    Ref<AtspiAccessible> child = childAt(view, index);
    if (child && isItemRole(atspi_accessible_get_role(child.get(), nullptr)) &&
        !windowExtents(child.get())) {
      return true;
    }
  }
  return false;
}

bool isChecked(AtspiAccessible* accessible) {
  Ref<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
  return states && atspi_state_set_contains(states.get(), ATSPI_STATE_CHECKED);
}

// A path bar: a row of toggle buttons, the current folder's pressed, the
// file system's root (named by an icon only) last.
std::optional<std::filesystem::path> pathBarFolder(AtspiAccessible* bar) {
  const gint count = std::min(atspi_accessible_get_child_count(bar, nullptr),
                              AtspiFileManagerItems::MaximumChildrenScanned);
  std::vector<std::string> names;
  std::optional<std::size_t> current;
  for (gint index = 0; index < count; ++index) {
    Ref<AtspiAccessible> button = childAt(bar, index);
    const AtspiRole role =
        button ? atspi_accessible_get_role(button.get(), nullptr) : ATSPI_ROLE_INVALID;
    // Push buttons scroll a long path.
    if (role == ATSPI_ROLE_PUSH_BUTTON) {
      continue;
    }
    if (role != ATSPI_ROLE_TOGGLE_BUTTON) {
      return std::nullopt;
    }
    if (isChecked(button.get())) {
      if (current) {
        return std::nullopt;
      }
      current = names.size();
    }
    names.push_back(takeText(atspi_accessible_get_name(button.get(), nullptr)));
  }
  if (!current || names.size() < 2 || !names.back().empty() || names[*current].empty()) {
    return std::nullopt;
  }
  std::filesystem::path folder("/");
  for (std::size_t index = names.size() - 1; index-- > *current;) {
    if (names[index].empty() || names[index].find('/') != std::string::npos) {
      return std::nullopt;
    }
    folder /= names[index];
  }
  return folder;
}

// Views and menus hold no path bar and are the largest parts of the tree.
bool mayHoldPathBar(AtspiRole role) {
  return role != ATSPI_ROLE_MENU_BAR && role != ATSPI_ROLE_MENU && role != ATSPI_ROLE_TABLE &&
         role != ATSPI_ROLE_TREE_TABLE && role != ATSPI_ROLE_LAYERED_PANE &&
         role != ATSPI_ROLE_PAGE_TAB_LIST && role != ATSPI_ROLE_TREE && role != ATSPI_ROLE_LIST;
}

// A window's path bar, for file managers that publish no window locations
// (Nemo). Searched breadth first, within a budget.
Ref<AtspiAccessible> pathBarIn(AtspiAccessible* frame) {
  std::vector<Ref<AtspiAccessible>> pending;
  pending.push_back(shared(frame));
  for (std::size_t next = 0;
       next < pending.size() && next < AtspiFileManagerItems::MaximumNodesSearched; ++next) {
    AtspiAccessible* node = pending[next].get();
    const gint count = std::min(atspi_accessible_get_child_count(node, nullptr),
                                AtspiFileManagerItems::MaximumChildrenScanned);
    bool buttons = false;
    for (gint index = 0; index < count; ++index) {
      Ref<AtspiAccessible> child = childAt(node, index);
      if (!child) {
        continue;
      }
      const AtspiRole role = atspi_accessible_get_role(child.get(), nullptr);
      buttons = buttons || role == ATSPI_ROLE_TOGGLE_BUTTON;
      if (mayHoldPathBar(role)) {
        pending.push_back(std::move(child));
      }
    }
    if (buttons && pathBarFolder(node)) {
      return std::move(pending[next]);
    }
  }
  return nullptr;
}

// The folder a path bar shows, when the window's title names it (or, by a
// preference, is its path): a bar that disagrees is some other row of
// buttons, or the window is between two folders.
std::optional<std::filesystem::path> titledFolder(AtspiAccessible* bar, const std::string& title) {
  auto folder = pathBarFolder(bar);
  std::error_code error;
  if (!folder || (title != folder->filename().string() && title != folder->string()) ||
      !std::filesystem::is_directory(*folder, error)) {
    return std::nullopt;
  }
  return folder;
}

// What an item is called: its name, or where it has none (GTK 3's icon
// view) the text it shows.
std::string itemName(AtspiAccessible* item) {
  std::string name = takeText(atspi_accessible_get_name(item, nullptr));
  if (!name.empty()) {
    return name;
  }
  Ref<AtspiText> text(atspi_accessible_get_text_iface(item));
  return text ? takeText(atspi_text_get_text(text.get(), 0, -1, nullptr)) : std::string();
}

constexpr std::string_view NoItems = "shows no items to the accessibility bus";

// The named item cell at or above a hit, with its name. GTK 4's column
// view names the box inside a row's cell rather than the cell.
std::pair<Ref<AtspiAccessible>, std::string> itemCell(Ref<AtspiAccessible> current) {
  for (int step = 0; current && step < AtspiFileManagerItems::MaximumSteps; ++step) {
    Ref<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), nullptr));
    const AtspiRole role = atspi_accessible_get_role(current.get(), nullptr);
    const bool namedBoxOfCell =
        role == ATSPI_ROLE_FILLER && parent &&
        atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_TABLE_CELL;
    if (isItemRole(role) || namedBoxOfCell) {
      std::string name = itemName(current.get());
      if (!name.empty()) {
        return {std::move(current), std::move(name)};
      }
    }
    current = std::move(parent);
  }
  return {Ref<AtspiAccessible>(), std::string()};
}

// The children drawn at a point, for containers whose own hit test answers
// nothing although a child covers the point: GTK 3's notebook, and GTK 4
// until a client has walked down to the accessibles it is asked about.
std::vector<Ref<AtspiAccessible>> childrenCovering(AtspiAccessible* parent, int x, int y,
                                                   int placelessDepth = 0) {
  constexpr int deepestPlaceless = 2;
  std::vector<Ref<AtspiAccessible>> covering;
  const gint count = std::min(atspi_accessible_get_child_count(parent, nullptr),
                              AtspiFileManagerItems::MaximumChildrenScanned);
  for (gint index = 0; index < count; ++index) {
    Ref<AtspiAccessible> child = childAt(parent, index);
    if (!child) {
      continue;
    }
    const auto extents = windowExtents(child.get());
    if (extents && holds(*extents, x, y)) {
      covering.push_back(std::move(child));
    } else if (isPlaceless(extents) && placelessDepth < deepestPlaceless) {
      for (auto& inner : childrenCovering(child.get(), x, y, placelessDepth + 1)) {
        covering.push_back(std::move(inner));
      }
    }
  }
  return covering;
}

// The deepest accessible at a point in the frame's window coordinates.
// Where several children cover the point (GTK 4's stack places its hidden
// pages where the shown one is), each is tried until one leads to an item;
// `budget` bounds the accessibles looked at.
Ref<AtspiAccessible> deepestAt(Ref<AtspiAccessible> current, int x, int y, std::size_t& budget) {
  for (; budget > 0; --budget) {
    Ref<AtspiComponent> component(atspi_accessible_get_component_iface(current.get()));
    Ref<AtspiAccessible> child(component
                                   ? atspi_component_get_accessible_at_point(
                                         component.get(), x, y, ATSPI_COORD_TYPE_WINDOW, nullptr)
                                   : nullptr);
    if (child && child.get() != current.get()) {
      current = std::move(child);
      continue;
    }
    auto covering = childrenCovering(current.get(), x, y);
    if (covering.empty()) {
      break;
    }
    if (covering.size() == 1) {
      current = std::move(covering.front());
      continue;
    }
    Ref<AtspiAccessible> first;
    for (auto& candidate : covering) {
      Ref<AtspiAccessible> deepest = deepestAt(std::move(candidate), x, y, budget);
      if (itemCell(shared(deepest.get())).first) {
        return deepest;
      }
      if (!first) {
        first = std::move(deepest);
      }
      if (budget == 0) {
        break;
      }
    }
    return first;
  }
  return current;
}

// GTK 4 measures a window's accessibles from inside the margin it draws
// around its own decorations (shadows, or a resize border where nothing
// composites); GTK 3 and others from the X window's corner.
bool measuresFromInsideMargin(AtspiAccessible* application) {
  constexpr int firstInsetMajorVersion = 4;
  if (takeText(atspi_accessible_get_toolkit_name(application, nullptr)) != "GTK") {
    return false;
  }
  const std::string version = takeText(atspi_accessible_get_toolkit_version(application, nullptr));
  return std::atoi(version.c_str()) >= firstInsetMajorVersion;
}

VariantRef callBus(const char* destination, const char* path, const char* interface,
                   const char* method, GVariant* parameters, const char* replyType,
                   GDBusCallFlags flags, int timeout) {
  Ref<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) {
    if (parameters != nullptr) {
      g_variant_unref(g_variant_ref_sink(parameters));
    }
    return nullptr;
  }
  GError* error = nullptr;
  VariantRef reply(g_dbus_connection_call_sync(bus.get(), destination, path, interface, method,
                                               parameters, G_VARIANT_TYPE(replyType), flags,
                                               timeout, nullptr, &error));
  ErrorRef owned(error);
  return reply;
}

// File managers are never started to be asked.
VariantRef callSessionBus(const char* destination, const char* path, const char* interface,
                          const char* method, GVariant* parameters, const char* replyType) {
  return callBus(destination, path, interface, method, parameters, replyType,
                 G_DBUS_CALL_FLAGS_NO_AUTO_START, AtspiFileManagerItems::CallTimeoutMilliseconds);
}

// The accessibility bus is started on demand, as toolkits start it.
VariantRef callSessionBusStarting(const char* destination, const char* path, const char* interface,
                                  const char* method, GVariant* parameters, const char* replyType) {
  return callBus(destination, path, interface, method, parameters, replyType,
                 G_DBUS_CALL_FLAGS_NONE, AtspiFileManagerItems::BusStartMilliseconds);
}

// A list's row is as wide as its column, far wider than an icon: the item
// is taken to be the square of the row's height under the pointer, so the
// panel opens over the part of the row pointed at.
Rect rowPart(const Rect& cell, int pointerX) {
  if (cell.size.width <= cell.size.height) {
    return cell;
  }
  const double side = cell.size.height;
  const double left =
      std::clamp(pointerX - side / 2, cell.origin.x, cell.origin.x + cell.size.width - side);
  return Rect{{left, cell.origin.y}, {side, side}};
}

} // namespace

AtspiFileManagerItems::AtspiFileManagerItems(const X11Connection& connection, Log& log)
    : display_(connection.display()), properties_(connection), log_(log) {}

std::optional<unsigned long> AtspiFileManagerItems::processOf(unsigned long window) const {
  const auto values = properties_.cardinals(window, "_NET_WM_PID");
  return values.size() == 1 ? std::optional<unsigned long>(values.front()) : std::nullopt;
}

std::string AtspiFileManagerItems::titleOf(unsigned long window) const {
  return properties_.utf8(window, "_NET_WM_NAME").value_or("");
}

AtspiFileManagerItems::Inset AtspiFileManagerItems::decorationMargin(unsigned long window,
                                                                     AtspiAccessible* frame) const {
  // Left, right, top, bottom, published where a compositor draws shadows.
  if (const auto extents = properties_.cardinals(window, "_GTK_FRAME_EXTENTS");
      extents.size() == 4) {
    return Inset{static_cast<int>(extents[0]), static_cast<int>(extents[2])};
  }
  // Elsewhere the margin is an even border around the toplevel's content.
  XWindowAttributes attributes{};
  const auto content = windowExtents(frame);
  if (!content || XGetWindowAttributes(display_, window, &attributes) == 0 ||
      attributes.width < content->width || attributes.height < content->height) {
    return Inset{};
  }
  return Inset{(attributes.width - content->width) / 2, (attributes.height - content->height) / 2};
}

// The client window under a point: the window manager's frame holds it.
std::optional<unsigned long> AtspiFileManagerItems::clientWindowAt(int x, int y) const {
  const Window root = DefaultRootWindow(display_);
  const X11Atom wmState = properties_.atom("WM_STATE");
  Window frame = None;
  int localX = 0;
  int localY = 0;
  if (XTranslateCoordinates(display_, root, root, x, y, &localX, &localY, &frame) == False ||
      frame == None) {
    return std::nullopt;
  }
  std::vector<Window> pending{frame};
  // Without a window manager, windows are the root's own children.
  const Window topLevel = frame;
  while (!pending.empty()) {
    const Window candidate = pending.back();
    pending.pop_back();
    if (!properties_.longs(candidate, wmState, wmState).empty()) {
      return candidate;
    }
    Window rootReturn = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int childCount = 0;
    if (XQueryTree(display_, candidate, &rootReturn, &parent, &children, &childCount) != 0 &&
        children != nullptr) {
      pending.insert(pending.end(), children, children + childCount);
      XFree(children);
    }
  }
  return topLevel;
}

void AtspiFileManagerItems::AccessibleUnref::operator()(AtspiAccessible* accessible) const {
  g_object_unref(accessible);
}

std::optional<std::filesystem::path> AtspiFileManagerItems::windowFolder(unsigned long window) {
  if (auto published = publishedFolder(window)) {
    return published;
  }
  const std::string title = titleOf(window);
  // Searching a window's tree takes tens of milliseconds; reading a bar
  // found before, one.
  if (const auto known = pathBars_.find(window); known != pathBars_.end()) {
    if (!known->second) {
      return std::nullopt;
    }
    if (auto folder = titledFolder(known->second.get(), title)) {
      return folder;
    }
    pathBars_.erase(known);
  }
  const auto process = processOf(window);
  if (!process || !connect()) {
    return std::nullopt;
  }
  const Ref<AtspiAccessible> application = applicationOf(*process);
  const Ref<AtspiAccessible> frame = application ? frameOf(application.get(), title) : nullptr;
  // A window not on the accessibility bus yet may be soon: nothing is
  // remembered of it.
  if (!frame) {
    return std::nullopt;
  }
  if (pathBars_.size() >= MaximumWindowsRemembered) {
    pathBars_.clear();
  }
  Ref<AtspiAccessible> bar = pathBarIn(frame.get());
  auto folder = bar ? titledFolder(bar.get(), title) : std::nullopt;
  pathBars_[window] = AccessibleRef(bar.release());
  return folder;
}

std::optional<std::filesystem::path>
AtspiFileManagerItems::publishedFolder(unsigned long window) const {
  const auto objectPath = properties_.utf8(window, "_GTK_WINDOW_OBJECT_PATH");
  if (!objectPath) {
    return std::nullopt;
  }
  // Another program may own the file-manager name: its locations are not
  // this window's.
  if (const auto windowOwner = properties_.utf8(window, "_GTK_UNIQUE_BUS_NAME")) {
    const VariantRef owner =
        callSessionBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetNameOwner", g_variant_new("(s)", FileManagerBusName.data()), "(s)");
    const gchar* name = nullptr;
    if (!owner) {
      return std::nullopt;
    }
    g_variant_get(owner.get(), "(&s)", &name);
    if (*windowOwner != name) {
      return std::nullopt;
    }
  }
  const VariantRef reply = callSessionBus(
      FileManagerBusName.data(), FileManagerObjectPath.data(), "org.freedesktop.DBus.Properties",
      "Get", g_variant_new("(ss)", FileManagerBusName.data(), LocationsProperty.data()), "(v)");
  if (!reply) {
    return std::nullopt;
  }
  GVariant* boxed = nullptr;
  g_variant_get(reply.get(), "(v)", &boxed);
  const VariantRef locations(boxed);
  if (!g_variant_is_of_type(locations.get(), G_VARIANT_TYPE("a{sas}"))) {
    return std::nullopt;
  }
  GVariant* uris = nullptr;
  if (!g_variant_lookup(locations.get(), objectPath->c_str(), "@as", &uris)) {
    return std::nullopt;
  }
  const VariantRef ownedUris(uris);
  if (g_variant_n_children(uris) == 0) {
    return std::nullopt;
  }
  const gchar* uri = nullptr;
  g_variant_get_child(uris, 0, "&s", &uri);
  gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
  if (path == nullptr) {
    return std::nullopt;
  }
  return std::filesystem::path(takeText(path));
}

// libatspi ends the whole process when it cannot reach the accessibility
// bus, so the bus is looked for the way libatspi looks, and tried, first.
std::optional<std::string> AtspiFileManagerItems::accessibilityBusAddress() const {
  if (const char* given = g_getenv("AT_SPI_BUS_ADDRESS"); given != nullptr && *given != '\0') {
    return std::string(given);
  }
  if (auto published = properties_.string(DefaultRootWindow(display_), "AT_SPI_BUS")) {
    return published;
  }
  const VariantRef reply = callSessionBusStarting("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                                  "GetAddress", nullptr, "(s)");
  if (!reply) {
    return std::nullopt;
  }
  const gchar* address = nullptr;
  g_variant_get(reply.get(), "(&s)", &address);
  return std::string(address);
}

bool AtspiFileManagerItems::connect() {
  if (state_ != Connection::untried) {
    return state_ == Connection::connected;
  }
  state_ = Connection::unavailable;
  const auto address = accessibilityBusAddress();
  Ref<GDBusConnection> bus;
  if (address) {
    bus.reset(g_dbus_connection_new_for_address_sync(
        address->c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
  }
  if (!bus) {
    log_.write("Quillon FolderPeek: no accessibility bus (at-spi2-core); file managers' items "
               "cannot be read");
    return false;
  }
  g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
  atspi_init();
  atspi_set_timeout(CallTimeoutMilliseconds, CallTimeoutMilliseconds);
  state_ = Connection::connected;
  return true;
}

void AtspiFileManagerItems::reportUnsupported(const std::string& where, std::string_view why) {
  if (reported_.insert(where).second) {
    log_.write("Quillon FolderPeek: " + where + " " + std::string(why) +
               "; nothing is peeked there");
  }
}

std::optional<FileManagerItem> AtspiFileManagerItems::itemAt(int x, int y) {
  const auto window = clientWindowAt(x, y);
  if (!window) {
    return std::nullopt;
  }
  const auto folder = windowFolder(*window);
  const auto process = processOf(*window);
  if (!folder || !process) {
    return std::nullopt;
  }
  if (!connect()) {
    return std::nullopt;
  }
  const Ref<AtspiAccessible> application = applicationOf(*process);
  const std::string applicationName =
      application ? takeText(atspi_accessible_get_name(application.get(), nullptr))
                  : "pid " + std::to_string(*process);
  const Ref<AtspiAccessible> frame =
      application ? frameOf(application.get(), titleOf(*window)) : nullptr;
  if (!frame) {
    reportUnsupported(applicationName, NoItems);
    return std::nullopt;
  }
  // Window coordinates: the hit test of a toplevel's accessibles measures
  // from the toplevel, whatever the screen coordinate type would say.
  int windowX = 0;
  int windowY = 0;
  Window child = None;
  const Window root = DefaultRootWindow(display_);
  XTranslateCoordinates(display_, root, *window, x, y, &windowX, &windowY, &child);
  const Inset inset = measuresFromInsideMargin(application.get())
                          ? decorationMargin(*window, frame.get())
                          : Inset{};
  windowX -= inset.left;
  windowY -= inset.top;
  std::size_t budget = MaximumNodesSearched;
  const Ref<AtspiAccessible> hit = deepestAt(shared(frame.get()), windowX, windowY, budget);
  const auto [cell, name] = itemCell(shared(hit.get()));
  if (!cell) {
    Ref<AtspiComponent> component(atspi_accessible_get_component_iface(frame.get()));
    if (!component) {
      reportUnsupported(applicationName, NoItems);
    } else if (holdsPlacelessItems(hit.get())) {
      reportUnsupported(applicationName + "'s " +
                            takeText(atspi_accessible_get_name(hit.get(), nullptr)),
                        "gives its items no place on the accessibility bus");
    }
    return std::nullopt;
  }
  FileManagerItem item{*folder / name, {}};
  // A cell of another kind, a sidebar's place say, is no entry of the folder.
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(item.path, error))) {
    return std::nullopt;
  }
  // GTK 4 picks a grid's or a list's cell anywhere in the padded box that
  // holds the named one: that box is where the item is drawn.
  Ref<AtspiAccessible> parent(atspi_accessible_get_parent(cell.get(), nullptr));
  AtspiAccessible* const drawn =
      parent && atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_TABLE_CELL
          ? parent.get()
          : cell.get();
  Ref<AtspiComponent> component(atspi_accessible_get_component_iface(drawn));
  if (component) {
    AtspiRect* extents =
        atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, nullptr);
    if (extents != nullptr) {
      int originX = 0;
      int originY = 0;
      XTranslateCoordinates(display_, *window, root, inset.left, inset.top, &originX, &originY,
                            &child);
      item.frame =
          rowPart(Rect{{static_cast<double>(originX + extents->x),
                        static_cast<double>(originY + extents->y)},
                       {static_cast<double>(extents->width), static_cast<double>(extents->height)}},
                  x);
      g_free(extents);
    }
  }
  return item;
}

} // namespace quillon
