#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

struct _GDBusConnection;

namespace quillon {

// A D-Bus message bus of the test's own, with a connection to it: it stands
// in for the system bus of the product and of mocked system services.
class LiveBus {
public:
  // Null when dbus-daemon cannot be started.
  static std::unique_ptr<LiveBus> start();
  LiveBus(const LiveBus&) = delete;
  LiveBus& operator=(const LiveBus&) = delete;
  ~LiveBus();

  const std::string& address() const { return address_; }
  // What makes a process take this bus as its system bus.
  std::string systemBusVariable() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }
  _GDBusConnection* connection() const { return connection_; }
  bool hasOwner(const char* name) const;
  // Takes a well-known name for the test's own connection.
  bool takeName(const char* name) const;

private:
  LiveBus() = default;

  pid_t daemon_ = -1;
  std::string address_;
  _GDBusConnection* connection_ = nullptr;
};

} // namespace quillon
