#include "app/MenuCommand.h"

#include <array>

namespace quillon {

namespace {
constexpr std::array<std::string_view, MenuCommandCount> commandNames{
    "openQuillonSite",
    "openParlandoSite",
    "toggleLanguageSwitch",
    "toggleCopyKeys",
    "toggleAutoSwitch",
    "toggleDictionaryCorrection",
    "toggleExcludeFrontmostApp",
    "forgetLearnedWords",
    "toggleSleepBlocker",
    "togglePunctuationRemaps",
    "toggleInvertMouseWheel",
    "toggleFolderPeek",
    "toggleDesktopFolderIcons",
    "toggleOneCDoubleClick",
    "captureScreenshot",
    "recordFullScreenVideo",
    "recordRegionVideo",
    "toggleAudioRecording",
    "createWebApp",
    "menuPinAboveAll",
    "menuSnapLeft",
    "menuSnapRight",
    "menuSnapMaximize",
    "menuSnapCenter",
    "menuSnapTopLeft",
    "menuSnapTopRight",
    "menuSnapBottomLeft",
    "menuSnapBottomRight",
    "toggleAutoSnapMouseDrag",
    "toggleRestorePositions",
    "menuShowClipboardHistory",
    "toggleLaunchAtLogin",
    "toggleAutoEnable",
    "openAccessibility",
    "restartApp",
    "quit",
};
static_assert(commandNames.back() == "quit", "one name per command, in declaration order");
} // namespace

std::string_view menuCommandName(MenuCommand command) {
  return commandNames[static_cast<std::size_t>(command)];
}

std::optional<MenuCommand> menuCommandForTag(int tag) {
  if (tag < 0 || static_cast<std::size_t>(tag) >= MenuCommandCount) {
    return std::nullopt;
  }
  return static_cast<MenuCommand>(tag);
}

} // namespace quillon
