#include "app/LoginItemManager.h"

#include <string>

namespace quillon {

bool LoginItemManager::setEnabled(bool on) {
  std::optional<LoginItemFailure> failure;
  if (on && !isEnabled()) {
    failure = loginItems_.registerApplication();
  } else if (!on && isEnabled()) {
    failure = loginItems_.unregisterApplication();
  }
  if (failure) {
    log_.write("Quillon: failed to update login item: " + failure->description);
  }
  return isEnabled();
}

} // namespace quillon
