#include "core/ActionTable.h"

namespace quillon {

namespace {
constexpr std::array<std::string_view, ActionCount> actionNames{
    "toggleKeepAwake",
    "toggleAudioRecording",
    "openScreenVideoOverlay",
    "togglePinFocusedWindow",
    "triggerDictation",
    "snapLeftHalf",
    "snapRightHalf",
    "snapMaximize",
    "snapCenter",
    "snapTopLeft",
    "snapTopRight",
    "snapBottomLeft",
    "snapBottomRight",
    "convertSelection",
    "captureAreaScreenshot",
    "showClipboardHistory",
    "recordFullScreenVideo",
    "stopAudioRecording",
    "interruptScreenVideo",
    "createWebApp",
    "startFolderPeek",
    "stopFolderPeek",
    "startDesktopFolderIcons",
    "stopDesktopFolderIcons",
    "startWindowPositionManager",
    "stopWindowPositionManager",
    "enableTileMargins",
    "disableTileMargins",
    "openAccessibilitySettings",
    "restartApp",
    "quit",
};
static_assert(actionNames.back() == "quit", "one name per action, in declaration order");

std::size_t indexOf(Action action) {
  return static_cast<std::size_t>(action);
}
} // namespace

std::string_view actionName(Action action) {
  return actionNames[indexOf(action)];
}

std::optional<Action> actionNamed(std::string_view name) {
  for (std::size_t index = 0; index < ActionCount; ++index) {
    if (actionNames[index] == name) {
      return static_cast<Action>(index);
    }
  }
  return std::nullopt;
}

void ActionTable::wire(Action action, std::function<void()> perform) {
  if (!perform) {
    actions_[indexOf(action)] = nullptr;
    return;
  }
  actions_[indexOf(action)] = [perform = std::move(perform)](const ActionTarget&) { perform(); };
}

void ActionTable::wire(Action action, std::function<void(const ActionTarget& target)> perform) {
  actions_[indexOf(action)] = std::move(perform);
}

bool ActionTable::isWired(Action action) const {
  return bool(actions_[indexOf(action)]);
}

void ActionTable::perform(Action action, const ActionTarget& target) const {
  if (isWithheld(action)) {
    return;
  }
  if (const auto& perform = actions_[indexOf(action)]) {
    perform(target);
  }
}

} // namespace quillon
