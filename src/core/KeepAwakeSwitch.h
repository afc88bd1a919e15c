#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillon {

// Keep-awake as the menu and the hotkey ask for it. Switching needs the
// administrator's consent and runs in the background, so the answer comes
// later, on the main queue, through the completion.
struct KeepAwakeSwitch {
  using Completion = std::function<void(bool succeeded)>;

  // Switches to the wanted state; stores the setting itself on success.
  std::function<void(bool on, Completion completion)> requestToggle;
  // The providing power source's type, such as "Battery Power".
  std::function<std::optional<std::string>()> currentPowerSource;
  // Whether the system sleeps on lid close on battery power regardless, so
  // that turning keep-awake on there deserves a warning.
  std::function<bool()> sleepsOnBatteryRegardless;

  // Without a keep-awake service nothing can change, so the request fails at
  // once: a waiting menu item comes back and the setting stays as it is.
  void request(bool on, Completion completion) const {
    if (requestToggle) {
      requestToggle(on, std::move(completion));
      return;
    }
    if (completion) {
      completion(false);
    }
  }
  std::optional<std::string> powerSource() const {
    return currentPowerSource ? currentPowerSource() : std::nullopt;
  }
  bool batteryDefeatsIt() const {
    return !sleepsOnBatteryRegardless || sleepsOnBatteryRegardless();
  }
};

} // namespace quillon
