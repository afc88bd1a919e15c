#include "platform/linux/UPowerClient.h"

#include "platform/ObservationList.h"

#include <gio/gio.h>
#include <string>

namespace quillon {

namespace {

constexpr const char* UPowerName = "org.freedesktop.UPower";
constexpr const char* UPowerPath = "/org/freedesktop/UPower";
constexpr const char* UPowerInterface = "org.freedesktop.UPower";

} // namespace

UPowerClient::~UPowerClient() {
  if (proxy_ != nullptr) {
    g_signal_handler_disconnect(proxy_, changedHandler_);
    g_object_unref(proxy_);
  }
}

GDBusProxy* UPowerClient::proxy() {
  if (connected_) {
    return proxy_;
  }
  connected_ = true;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (bus == nullptr) {
    log_.write("Quillon: no system bus (" + std::string(error->message) +
               "); the lid reads open and the power source is unknown");
    absenceReported_ = true;
    g_error_free(error);
    return nullptr;
  }
  // A system bus that restarts must not end the product.
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  // Not started on demand: a machine without UPower has nothing to say
  // about its lid, and asking the bus to start it would only wait.
  proxy_ = g_dbus_proxy_new_sync(
      bus,
      static_cast<GDBusProxyFlags>(G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START |
                                   G_DBUS_PROXY_FLAGS_GET_INVALIDATED_PROPERTIES),
      nullptr, UPowerName, UPowerPath, UPowerInterface, nullptr, &error);
  g_object_unref(bus);
  if (proxy_ == nullptr) {
    log_.write("Quillon: UPower cannot be asked (" + std::string(error->message) +
               "); the lid reads open and the power source is unknown");
    absenceReported_ = true;
    g_error_free(error);
    return nullptr;
  }
  changedHandler_ =
      g_signal_connect(proxy_, "g-properties-changed", G_CALLBACK(onPropertiesChanged), this);
  return proxy_;
}

std::optional<bool> UPowerClient::booleanProperty(const char* name) {
  GDBusProxy* upower = proxy();
  if (upower == nullptr) {
    return std::nullopt;
  }
  GVariant* value = g_dbus_proxy_get_cached_property(upower, name);
  if (value == nullptr) {
    if (!absenceReported_) {
      absenceReported_ = true;
      log_.write("Quillon: UPower is not on the system bus; the lid reads open and the power "
                 "source is unknown");
    }
    return std::nullopt;
  }
  std::optional<bool> answer;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
    answer = g_variant_get_boolean(value) == TRUE;
  }
  g_variant_unref(value);
  return answer;
}

Observation UPowerClient::observeChanges(std::function<void()> callback) {
  proxy();
  return observeAsListEntry(callbacks_,
                            std::make_shared<std::function<void()>>(std::move(callback)));
}

void UPowerClient::onPropertiesChanged(GDBusProxy*, GVariant*, const char* const*, void* self) {
  static_cast<UPowerClient*>(self)->announceChange();
}

void UPowerClient::announceChange() {
  const auto callbacks = callbacks_;
  for (const auto& callback : callbacks) {
    (*callback)();
  }
}

} // namespace quillon
