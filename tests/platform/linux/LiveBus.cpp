#include "LiveBus.h"

#include <csignal>
#include <gio/gio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr int BusCallTimeoutMilliseconds = 2000;

GVariant* callBus(GDBusConnection* connection, const char* method, GVariant* parameters,
                  const char* replyType) {
  return g_dbus_connection_call_sync(
      connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
      parameters, replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr,
      G_DBUS_CALL_FLAGS_NONE, BusCallTimeoutMilliseconds, nullptr, nullptr);
}

} // namespace

std::unique_ptr<LiveBus> LiveBus::start() {
  auto bus = std::unique_ptr<LiveBus>(new LiveBus);
  const gchar* arguments[] = {"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1",
                              nullptr};
  gint output = -1;
  GPid daemon = -1;
  if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(arguments), nullptr, G_SPAWN_DEFAULT,
                                nullptr, nullptr, &daemon, nullptr, &output, nullptr, nullptr)) {
    return nullptr;
  }
  bus->daemon_ = daemon;
  char byte = 0;
  while (::read(output, &byte, 1) == 1 && byte != '\n') {
    bus->address_ += byte;
  }
  ::close(output);
  bus->connection_ = g_dbus_connection_new_for_address_sync(
      bus->address_.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (bus->connection_ == nullptr) {
    return nullptr;
  }
  return bus;
}

LiveBus::~LiveBus() {
  if (connection_ != nullptr) {
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }
  if (daemon_ > 0) {
    kill(daemon_, SIGTERM);
    waitpid(daemon_, nullptr, 0);
  }
}

bool LiveBus::hasOwner(const char* name) const {
  GVariant* reply = callBus(connection_, "NameHasOwner", g_variant_new("(s)", name), "(b)");
  if (reply == nullptr) {
    return false;
  }
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned == TRUE;
}

bool LiveBus::takeName(const char* name) const {
  GVariant* reply = callBus(connection_, "RequestName", g_variant_new("(su)", name, 0u), nullptr);
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
  return reply != nullptr;
}

} // namespace quillon
