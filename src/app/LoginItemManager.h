#pragma once

#include "platform/Log.h"
#include "platform/LoginItems.h"

namespace quillon {

// Registers this application to start at login, or stops it from doing so,
// and tells what the system actually holds.
class LoginItemManager {
public:
  LoginItemManager(LoginItems& loginItems, Log& log) : loginItems_(loginItems), log_(log) {}

  bool isEnabled() const { return loginItems_.status() == LoginItemStatus::Enabled; }
  // Asks only when the status differs from the request; answers whether the
  // application is registered afterwards, which after a refusal is not what
  // was asked.
  bool setEnabled(bool on);

private:
  LoginItems& loginItems_;
  Log& log_;
};

} // namespace quillon
