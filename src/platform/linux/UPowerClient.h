#pragma once

#include "platform/Log.h"
#include "platform/Observation.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct _GDBusProxy;
struct _GVariant;

namespace quillon {

// UPower's own properties on the system bus (the lid, the power source),
// kept current by its change signals so that reading them never waits.
// Connects when first asked; without a system bus or without UPower every
// property is unknown, and the first reader is told so in one log line.
class UPowerClient {
public:
  explicit UPowerClient(Log& log) : log_(log) {}
  UPowerClient(const UPowerClient&) = delete;
  UPowerClient& operator=(const UPowerClient&) = delete;
  ~UPowerClient();

  // Nothing when UPower is not there or does not have the property.
  std::optional<bool> booleanProperty(const char* name);
  // Calls back on the main loop after any of UPower's properties changed.
  Observation observeChanges(std::function<void()> callback);

private:
  _GDBusProxy* proxy();
  void announceChange();
  static void onPropertiesChanged(_GDBusProxy* proxy, _GVariant* changed,
                                  const char* const* invalidated, void* self);

  Log& log_;
  _GDBusProxy* proxy_ = nullptr;
  unsigned long changedHandler_ = 0;
  bool connected_ = false;
  bool absenceReported_ = false;
  std::vector<std::shared_ptr<std::function<void()>>> callbacks_;
};

} // namespace quillon
