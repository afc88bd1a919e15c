#pragma once

#include "platform/Log.h"
#include "platform/Observation.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct _GDBusConnection;
struct _GVariant;

namespace quillon {

// The machine waking from sleep, as logind announces it on the system bus
// (PrepareForSleep with false). Without a system bus or without logind
// nothing is ever announced, and the first watcher is told so in one log
// line. Connects only when someone first watches.
class LogindSleepWatch {
public:
  explicit LogindSleepWatch(Log& log) : log_(log) {}
  LogindSleepWatch(const LogindSleepWatch&) = delete;
  LogindSleepWatch& operator=(const LogindSleepWatch&) = delete;
  ~LogindSleepWatch();

  // Calls back on the main loop after each wake.
  Observation observeWake(std::function<void()> callback);

private:
  void connect();
  void announceWake();
  static void onPrepareForSleep(::_GDBusConnection* connection, const char* sender,
                                const char* path, const char* interface, const char* signal,
                                ::_GVariant* parameters, void* self);

  Log& log_;
  ::_GDBusConnection* bus_ = nullptr;
  unsigned subscription_ = 0;
  bool connected_ = false;
  std::vector<std::shared_ptr<std::function<void()>>> callbacks_;
};

} // namespace quillon
