#pragma once

#include "core/KeepAwakeSwitch.h"
#include "core/RecordingStatus.h"
#include "platform/Workspace.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace quillon {

// Everything a hotkey or a menu item can ask the product to do. Features
// plug in by wiring their action here, so the dispatchers never change when
// a feature arrives.
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
  recordFullScreenVideo,
  stopAudioRecording,
  interruptScreenVideo,
  createWebApp,
  startFolderPeek,
  stopFolderPeek,
  startDesktopFolderIcons,
  stopDesktopFolderIcons,
  startWindowPositionManager,
  stopWindowPositionManager,
  // The system's margins between tiled windows: off while windows snap to
  // exact edges, on otherwise.
  enableTileMargins,
  disableTileMargins,
  openAccessibilitySettings,
  restartApp,
  quit,
};
inline constexpr std::size_t ActionCount = 31;
static_assert(static_cast<std::size_t>(Action::quit) + 1 == ActionCount, "the last action counts");

std::string_view actionName(Action action);
std::optional<Action> actionNamed(std::string_view name);

// The application an action works on when the caller knows it: the menu
// knows which one it was opened over, a hotkey does not.
using ActionTarget = std::optional<RunningApplication>;

class ActionTable {
public:
  void wire(Action action, std::function<void()> perform);
  void wire(Action action, std::function<void(const ActionTarget& target)> perform);
  bool isWired(Action action) const;
  // An action whose service the desktop does not really offer: it does
  // nothing, and its hotkey is no hotkey, so the keys reach the application.
  void withhold(Action action) { withheld_[static_cast<std::size_t>(action)] = true; }
  bool isWithheld(Action action) const { return withheld_[static_cast<std::size_t>(action)]; }
  // An action nobody has wired yet, or a withheld one, does nothing.
  void perform(Action action) const { perform(action, std::nullopt); }
  void perform(Action action, const ActionTarget& target) const;

  // The answers and requests that carry more than a plain action.
  RecordingStatus& recordingStatus() { return recordingStatus_; }
  const RecordingStatus& recordingStatus() const { return recordingStatus_; }
  KeepAwakeSwitch& keepAwake() { return keepAwake_; }
  const KeepAwakeSwitch& keepAwake() const { return keepAwake_; }

private:
  std::array<std::function<void(const ActionTarget&)>, ActionCount> actions_;
  std::array<bool, ActionCount> withheld_{};
  RecordingStatus recordingStatus_;
  KeepAwakeSwitch keepAwake_;
};

} // namespace quillon
