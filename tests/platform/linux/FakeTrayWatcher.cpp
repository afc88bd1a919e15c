#include "FakeTrayWatcher.h"

#include "LiveSession.h"

namespace quillon {

namespace {

constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* watcherPath = "/StatusNotifierWatcher";
constexpr const char* watcherInterface = R"(
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  </interface>
</node>)";

FakeTrayWatcher::MenuEntry entryFrom(GVariant* layout) {
  FakeTrayWatcher::MenuEntry entry;
  GVariant* properties = nullptr;
  GVariant* children = nullptr;
  gint32 id = 0;
  g_variant_get(layout, "(i@a{sv}@av)", &id, &properties, &children);
  entry.id = id;
  const auto text = [properties](const char* key) {
    const gchar* value = nullptr;
    return g_variant_lookup(properties, key, "&s", &value) ? std::string(value) : std::string();
  };
  entry.label = text("label");
  entry.type = text("type");
  entry.toggleType = text("toggle-type");
  gint32 state = 0;
  if (g_variant_lookup(properties, "toggle-state", "i", &state)) {
    entry.toggleState = state;
  }
  gboolean enabled = TRUE;
  if (g_variant_lookup(properties, "enabled", "b", &enabled)) {
    entry.enabled = enabled != FALSE;
  }
  if (GVariant* shortcut = g_variant_lookup_value(properties, "shortcut", nullptr)) {
    GVariantIter combinations;
    g_variant_iter_init(&combinations, shortcut);
    while (GVariant* combination = g_variant_iter_next_value(&combinations)) {
      GVariantIter keys;
      g_variant_iter_init(&keys, combination);
      const gchar* key = nullptr;
      while (g_variant_iter_next(&keys, "&s", &key)) {
        entry.shortcut.emplace_back(key);
      }
      g_variant_unref(combination);
    }
    g_variant_unref(shortcut);
  }
  GVariantIter iter;
  g_variant_iter_init(&iter, children);
  while (GVariant* child = g_variant_iter_next_value(&iter)) {
    GVariant* inner = g_variant_get_variant(child);
    entry.children.push_back(entryFrom(inner));
    g_variant_unref(inner);
    g_variant_unref(child);
  }
  g_variant_unref(properties);
  g_variant_unref(children);
  return entry;
}

} // namespace

const FakeTrayWatcher::MenuEntry*
FakeTrayWatcher::MenuEntry::find(const std::string& wanted) const {
  for (const MenuEntry& child : children) {
    if (child.label == wanted) {
      return &child;
    }
    if (const MenuEntry* deeper = child.find(wanted)) {
      return deeper;
    }
  }
  return nullptr;
}

FakeTrayWatcher::FakeTrayWatcher(const std::string& busAddress) {
  connection_ = g_dbus_connection_new_for_address_sync(
      busAddress.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (connection_ == nullptr) {
    return;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(watcherInterface, nullptr);
  static const GDBusInterfaceVTable vtable{methodCall, getProperty, nullptr, {}};
  objectId_ = g_dbus_connection_register_object(connection_, watcherPath, node->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
  g_dbus_node_info_unref(node);
  nameId_ = g_bus_own_name_on_connection(
      connection_, watcherName, G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, gpointer self) {
        static_cast<FakeTrayWatcher*>(self)->ownsName_ = true;
      },
      nullptr, this, nullptr);
  LiveSession::runUntil([this] { return ownsName_; });
}

FakeTrayWatcher::~FakeTrayWatcher() {
  if (connection_ == nullptr) {
    return;
  }
  g_bus_unown_name(nameId_);
  g_dbus_connection_unregister_object(connection_, objectId_);
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
}

void FakeTrayWatcher::methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                                 const gchar* method, GVariant* parameters,
                                 GDBusMethodInvocation* invocation, gpointer self) {
  auto& watcher = *static_cast<FakeTrayWatcher*>(self);
  if (g_strcmp0(method, "RegisterStatusNotifierItem") == 0) {
    const gchar* service = nullptr;
    g_variant_get(parameters, "(&s)", &service);
    // An item names either its object path (on the caller's connection) or
    // its bus name (at the usual path).
    const bool isPath = service[0] == '/';
    watcher.registrations_.push_back(
        {isPath ? sender : service, isPath ? service : "/StatusNotifierItem"});
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* FakeTrayWatcher::getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                       const gchar* property, GError**, gpointer) {
  if (g_strcmp0(property, "IsStatusNotifierHostRegistered") == 0) {
    return g_variant_new_boolean(TRUE);
  }
  if (g_strcmp0(property, "ProtocolVersion") == 0) {
    return g_variant_new_int32(0);
  }
  return g_variant_new_strv(nullptr, 0);
}

GVariant* FakeTrayWatcher::call(const std::string& busName, const std::string& path,
                                const char* interface, const char* method, GVariant* parameters,
                                const char* replyType) {
  // Asynchronous, with the loop running: the item answers from this thread.
  struct Pending {
    bool done = false;
    GVariant* reply = nullptr;
  } pending;
  g_dbus_connection_call(
      connection_, busName.c_str(), path.c_str(), interface, method, parameters,
      replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
      nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto& answer = *static_cast<Pending*>(data);
        answer.reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        answer.done = true;
      },
      &pending);
  LiveSession::runUntil([&pending] { return pending.done; });
  return pending.reply;
}

GVariant* FakeTrayWatcher::itemProperty(const Registration& item, const char* name) {
  GVariant* reply = call(item.busName, item.objectPath, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), "(v)");
  if (reply == nullptr) {
    return nullptr;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  g_variant_unref(reply);
  return value;
}

std::optional<std::string> FakeTrayWatcher::menuPath(const Registration& item) {
  GVariant* path = itemProperty(item, "Menu");
  if (path == nullptr) {
    return std::nullopt;
  }
  std::string result = g_variant_get_string(path, nullptr);
  g_variant_unref(path);
  return result;
}

std::optional<FakeTrayWatcher::MenuEntry> FakeTrayWatcher::menuLayout(const Registration& item) {
  const auto path = menuPath(item);
  if (!path) {
    return std::nullopt;
  }
  GVariant* reply =
      call(item.busName, *path, "com.canonical.dbusmenu", "GetLayout",
           g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), "(u(ia{sv}av))");
  if (reply == nullptr) {
    return std::nullopt;
  }
  GVariant* layout = g_variant_get_child_value(reply, 1);
  MenuEntry root = entryFrom(layout);
  g_variant_unref(layout);
  g_variant_unref(reply);
  return root;
}

bool FakeTrayWatcher::click(const Registration& item, int id) {
  const auto path = menuPath(item);
  if (!path) {
    return false;
  }
  GVariant* reply = call(item.busName, *path, "com.canonical.dbusmenu", "Event",
                         g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), "()");
  if (reply == nullptr) {
    return false;
  }
  g_variant_unref(reply);
  return true;
}

bool FakeTrayWatcher::aboutToShow(const Registration& item) {
  const auto path = menuPath(item);
  if (!path) {
    return false;
  }
  GVariant* reply = call(item.busName, *path, "com.canonical.dbusmenu", "AboutToShow",
                         g_variant_new("(i)", 0), "(b)");
  if (reply == nullptr) {
    return false;
  }
  g_variant_unref(reply);
  return true;
}

} // namespace quillon
