#include "app/LiveFeatures.h"

#include <array>
#include <utility>

namespace quillon {

namespace {

// An action appears once per capability it needs. Stopping a service is
// never listed: stopping what never started is harmless.
// Dictation is not listed: the user's own command starts it on a desktop
// without one, so the dictation launcher decides.
constexpr std::array<std::pair<Action, Capability>, 22> actionNeeds{{
    {Action::toggleKeepAwake, Capability::keepAwake},
    {Action::toggleAudioRecording, Capability::audioRecording},
    {Action::openScreenVideoOverlay, Capability::screenCapture},
    {Action::togglePinFocusedWindow, Capability::windowAccess},
    {Action::snapLeftHalf, Capability::windowAccess},
    {Action::snapRightHalf, Capability::windowAccess},
    {Action::snapMaximize, Capability::windowAccess},
    {Action::snapCenter, Capability::windowAccess},
    {Action::snapTopLeft, Capability::windowAccess},
    {Action::snapTopRight, Capability::windowAccess},
    {Action::snapBottomLeft, Capability::windowAccess},
    {Action::snapBottomRight, Capability::windowAccess},
    {Action::captureAreaScreenshot, Capability::screenCapture},
    {Action::recordFullScreenVideo, Capability::screenCapture},
    {Action::createWebApp, Capability::webViews},
    {Action::startFolderPeek, Capability::folderPeek},
    {Action::startDesktopFolderIcons, Capability::desktopFolderIcons},
    {Action::startWindowPositionManager, Capability::windowAccess},
    // The tiling margins are the window manager's own preference.
    {Action::enableTileMargins, Capability::windowAccess},
    {Action::enableTileMargins, Capability::systemSettings},
    {Action::disableTileMargins, Capability::windowAccess},
    {Action::disableTileMargins, Capability::systemSettings},
}};

constexpr std::array<std::pair<MenuCommand, Capability>, 19> commandNeeds{{
    {MenuCommand::toggleSleepBlocker, Capability::keepAwake},
    {MenuCommand::toggleFolderPeek, Capability::folderPeek},
    {MenuCommand::toggleDesktopFolderIcons, Capability::desktopFolderIcons},
    {MenuCommand::captureScreenshot, Capability::screenCapture},
    {MenuCommand::recordFullScreenVideo, Capability::screenCapture},
    {MenuCommand::recordRegionVideo, Capability::screenCapture},
    {MenuCommand::toggleAudioRecording, Capability::audioRecording},
    {MenuCommand::createWebApp, Capability::webViews},
    {MenuCommand::menuPinAboveAll, Capability::windowAccess},
    {MenuCommand::menuSnapLeft, Capability::windowAccess},
    {MenuCommand::menuSnapRight, Capability::windowAccess},
    {MenuCommand::menuSnapMaximize, Capability::windowAccess},
    {MenuCommand::menuSnapCenter, Capability::windowAccess},
    {MenuCommand::menuSnapTopLeft, Capability::windowAccess},
    {MenuCommand::menuSnapTopRight, Capability::windowAccess},
    {MenuCommand::menuSnapBottomLeft, Capability::windowAccess},
    {MenuCommand::menuSnapBottomRight, Capability::windowAccess},
    {MenuCommand::toggleAutoSnapMouseDrag, Capability::windowAccess},
    {MenuCommand::toggleRestorePositions, Capability::windowAccess},
}};

} // namespace

std::string_view capabilityName(Capability capability) {
  switch (capability) {
  case Capability::windowAccess:
    return "window access";
  case Capability::screenCapture:
    return "screen capture";
  case Capability::audioRecording:
    return "audio recording";
  case Capability::keepAwake:
    return "keep-awake";
  case Capability::webViews:
    return "web apps";
  case Capability::folderPeek:
    return "folder peek";
  case Capability::desktopFolderIcons:
    return "Desktop folder icons";
  case Capability::dictation:
    return "dictation";
  case Capability::systemSettings:
    return "system settings";
  }
  return "an unknown capability";
}

bool isActionLive(Action action, const LiveServices& services) {
  for (const auto& [needy, capability] : actionNeeds) {
    if (needy == action && !services.isLive(capability)) {
      return false;
    }
  }
  return true;
}

std::optional<Capability> capabilityBehind(MenuCommand command) {
  for (const auto& [needy, capability] : commandNeeds) {
    if (needy == command) {
      return capability;
    }
  }
  return std::nullopt;
}

std::optional<std::string> whyMenuCommandIsNotLive(MenuCommand command,
                                                   const LiveServices& services) {
  const auto capability = capabilityBehind(command);
  return capability ? services.whyNotLive(*capability) : std::nullopt;
}

void withholdActionsNotLive(ActionTable& actions, const LiveServices& services) {
  for (std::size_t index = 0; index < ActionCount; ++index) {
    const auto action = static_cast<Action>(index);
    if (!isActionLive(action, services)) {
      actions.withhold(action);
    }
  }
}

} // namespace quillon
