#include "platform/linux/LogindSleepWatch.h"

#include "platform/ObservationList.h"

#include <gio/gio.h>

namespace quillon {

namespace {

constexpr const char* LogindName = "org.freedesktop.login1";
constexpr const char* LogindPath = "/org/freedesktop/login1";
constexpr const char* LogindManager = "org.freedesktop.login1.Manager";
// Asked of the bus itself, which answers at once or not at all.
constexpr int BusCallTimeoutMilliseconds = 500;

bool nameHasOwner(GDBusConnection* bus, const char* name) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
      BusCallTimeoutMilliseconds, nullptr, nullptr);
  if (reply == nullptr) {
    return false;
  }
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned == TRUE;
}

} // namespace

LogindSleepWatch::~LogindSleepWatch() {
  if (bus_ != nullptr) {
    g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    g_object_unref(bus_);
  }
}

void LogindSleepWatch::connect() {
  connected_ = true;
  GError* error = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (bus_ == nullptr) {
    log_.write("Quillon: no system bus (" + std::string(error->message) +
               "); windows are not put back after sleep");
    g_error_free(error);
    return;
  }
  // A system bus that restarts must not end the product.
  g_dbus_connection_set_exit_on_close(bus_, FALSE);
  // Subscribed even when logind is not there yet: it may start later.
  subscription_ = g_dbus_connection_signal_subscribe(
      bus_, LogindName, LogindManager, "PrepareForSleep", LogindPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, onPrepareForSleep, this, nullptr);
  if (!nameHasOwner(bus_, LogindName)) {
    log_.write("Quillon: logind is not on the system bus; windows are not put back after sleep");
  }
}

void LogindSleepWatch::onPrepareForSleep(GDBusConnection*, const char*, const char*, const char*,
                                         const char*, GVariant* parameters, void* self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) {
    return;
  }
  gboolean goingToSleep = TRUE;
  g_variant_get(parameters, "(b)", &goingToSleep);
  if (goingToSleep == FALSE) {
    static_cast<LogindSleepWatch*>(self)->announceWake();
  }
}

void LogindSleepWatch::announceWake() {
  const auto callbacks = callbacks_;
  for (const auto& callback : callbacks) {
    (*callback)();
  }
}

Observation LogindSleepWatch::observeWake(std::function<void()> callback) {
  if (!connected_) {
    connect();
  }
  auto shared = std::make_shared<std::function<void()>>(std::move(callback));
  return observeAsListEntry(callbacks_, std::move(shared));
}

} // namespace quillon
