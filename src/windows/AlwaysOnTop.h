#pragma once

#include "platform/Accessibility.h"
#include "platform/Log.h"
#include "platform/Sound.h"
#include "platform/WindowLevels.h"

#include <cstdint>
#include <map>
#include <optional>

namespace quillon {

// Pins the focused window above every other application's windows, and
// unpins it on the next toggle of the same window. The pinned windows live
// for the life of this object, which the composition root owns; nothing is
// undone at quit.
class AlwaysOnTop {
public:
  static constexpr Duration MessagingTimeout{0.2};

  AlwaysOnTop(Accessibility& accessibility, WindowLevels& windowLevels, Sound& sound, Log& log)
      : accessibility_(accessibility), windowLevels_(windowLevels), sound_(sound), log_(log) {}
  AlwaysOnTop(const AlwaysOnTop&) = delete;
  AlwaysOnTop& operator=(const AlwaysOnTop&) = delete;

  void toggleFocusedWindow();
  std::optional<std::uint32_t> focusedWindowID();

  // Window number to the level it gets back when unpinned.
  const std::map<std::uint32_t, std::int32_t>& pinned() const { return pinned_; }

private:
  Accessibility& accessibility_;
  WindowLevels& windowLevels_;
  Sound& sound_;
  Log& log_;
  std::map<std::uint32_t, std::int32_t> pinned_;
};

} // namespace quillon
