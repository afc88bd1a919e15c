#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace quillon {

// Everything a hotkey (and later a menu item) can ask the product to do.
// Features plug in by wiring their action here, so the dispatchers never
// change when a feature arrives.
enum class Action {
  toggleKeepAwake,
  toggleAudioRecording,
  openScreenVideoOverlay,
  togglePinFocusedWindow,
  triggerDictation,
  snapLeftHalf,
  snapRightHalf,
  snapMaximize,
  snapCenter,
  snapTopLeft,
  snapTopRight,
  snapBottomLeft,
  snapBottomRight,
  convertSelection,
  captureAreaScreenshot,
  showClipboardHistory,
};
inline constexpr std::size_t ActionCount = 16;

std::string_view actionName(Action action);
std::optional<Action> actionNamed(std::string_view name);

class ActionTable {
public:
  void wire(Action action, std::function<void()> perform);
  bool isWired(Action action) const;
  // An action nobody has wired yet does nothing.
  void perform(Action action) const;

private:
  std::array<std::function<void()>, ActionCount> actions_;
};

} // namespace quillon
