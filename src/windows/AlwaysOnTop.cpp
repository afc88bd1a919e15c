#include "windows/AlwaysOnTop.h"

#include <string>

namespace quillon {

std::optional<std::uint32_t> AlwaysOnTop::focusedWindowID() {
  const AXElement systemWide = accessibility_.systemWideElement();
  accessibility_.setMessagingTimeout(systemWide, MessagingTimeout);
  const auto application =
      axValueAs<AXElement>(accessibility_.copyAttributeValue(systemWide, ax::FocusedApplication));
  if (!application) {
    return std::nullopt;
  }
  const auto window =
      axValueAs<AXElement>(accessibility_.copyAttributeValue(*application, ax::FocusedWindow));
  if (!window) {
    return std::nullopt;
  }
  return accessibility_.windowNumber(*window);
}

void AlwaysOnTop::toggleFocusedWindow() {
  const auto id = focusedWindowID();
  if (!id) {
    log_.write("Quillon aot: no focused window / non-AX app");
    return;
  }
  if (const auto found = pinned_.find(*id); found != pinned_.end()) {
    const std::int32_t storedLevel = found->second;
    windowLevels_.setWindowLevel(*id, storedLevel);
    pinned_.erase(found);
    sound_.play("Tink");
    log_.write("Quillon aot: window " + std::to_string(*id) + " unpinned (level → " +
               std::to_string(storedLevel) + ")");
    return;
  }
  // Unpinning gives back the normal level, not whatever level the window
  // had before: windows worth pinning are ordinary document windows.
  const std::int32_t floating = windowLevels_.level(WindowLevelKey::Floating);
  const std::int32_t normal = windowLevels_.level(WindowLevelKey::Normal);
  // Recorded whether or not the window server obliges, so the next toggle of
  // this window always unpins.
  pinned_[*id] = normal;
  windowLevels_.setWindowLevel(*id, floating);
  sound_.play("Pop");
  log_.write("Quillon aot: window " + std::to_string(*id) + " pinned to floating level");
}

} // namespace quillon
