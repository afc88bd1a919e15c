#pragma once

#include "platform/Log.h"
#include "platform/Power.h"

#include <functional>
#include <memory>
#include <optional>

namespace quillon {

// Tells the application when the lid closes. The root power domain sends
// general-interest messages for many reasons; each one re-reads the lid, and
// only a change into closed calls onLidClose.
class LidStateMonitor {
public:
  LidStateMonitor(Power& power, Log& log) : power_(power), log_(log) {}
  LidStateMonitor(const LidStateMonitor&) = delete;
  LidStateMonitor& operator=(const LidStateMonitor&) = delete;

  // Does nothing once it has succeeded; after a failure a later call tries
  // again.
  void start();
  void setOnLidClose(std::function<void()> onLidClose) { onLidClose_ = std::move(onLidClose); }

  bool isStarted() const { return started_; }
  std::optional<bool> lastClosedState() const { return lastClosedState_; }

private:
  std::optional<bool> readClamshellClosed() const;
  void check();

  Power& power_;
  Log& log_;
  std::unique_ptr<Power::Registration> notification_;
  std::optional<bool> lastClosedState_;
  bool started_ = false;
  std::function<void()> onLidClose_;
};

} // namespace quillon
