#include "platform/linux/LogindInhibitor.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>
#include <utility>

namespace quillon {

namespace {

constexpr const char* LogindName = "org.freedesktop.login1";
constexpr const char* LogindPath = "/org/freedesktop/login1";
constexpr const char* LogindManager = "org.freedesktop.login1.Manager";
constexpr const char* Who = "Quillon";
// A block lock holds the machine off; a delay lock would only postpone.
constexpr const char* BlockMode = "block";

std::string messageOf(GError* error) {
  std::string message = error != nullptr ? error->message : "unknown error";
  if (error != nullptr) {
    g_error_free(error);
  }
  return message;
}

// The descriptor in the reply, owned by the caller from then on. The list
// keeps a copy of its own otherwise, which would hold the lock after its
// release.
std::optional<int> takeDescriptor(GVariant* reply, GUnixFDList* descriptors) {
  gint32 index = -1;
  g_variant_get(reply, "(h)", &index);
  if (descriptors == nullptr || index < 0 || index >= g_unix_fd_list_get_length(descriptors)) {
    return std::nullopt;
  }
  gint count = 0;
  gint* stolen = g_unix_fd_list_steal_fds(descriptors, &count);
  std::optional<int> kept;
  for (gint i = 0; i < count; ++i) {
    if (i == index) {
      kept = stolen[i];
    } else {
      ::close(stolen[i]);
    }
  }
  g_free(stolen);
  return kept;
}

} // namespace

InhibitorLock::InhibitorLock(InhibitorLock&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

InhibitorLock& InhibitorLock::operator=(InhibitorLock&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

InhibitorLock::~InhibitorLock() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

std::optional<InhibitorLock> LogindInhibitor::take(const Request& request, std::string& error) {
  GError* failure = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &failure);
  if (bus == nullptr) {
    error = "no system bus (" + messageOf(failure) + ")";
    return std::nullopt;
  }
  // A system bus that restarts must not end the product.
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  const std::string what(request.what);
  const std::string why(request.why);
  GUnixFDList* descriptors = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, LogindName, LogindPath, LogindManager, "Inhibit",
      g_variant_new("(ssss)", what.c_str(), Who, why.c_str(), BlockMode), G_VARIANT_TYPE("(h)"),
      G_DBUS_CALL_FLAGS_NONE, request.timeoutMilliseconds, nullptr, &descriptors, nullptr,
      &failure);
  g_object_unref(bus);
  if (reply == nullptr) {
    error = messageOf(failure);
    return std::nullopt;
  }
  const std::optional<int> descriptor = takeDescriptor(reply, descriptors);
  g_variant_unref(reply);
  if (descriptors != nullptr) {
    g_object_unref(descriptors);
  }
  if (!descriptor) {
    error = "logind's answer carried no lock";
    return std::nullopt;
  }
  return InhibitorLock(*descriptor);
}

} // namespace quillon
