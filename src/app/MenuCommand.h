#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillon {

// What an item of the status menu does when chosen; its number is the item's
// tag, so the platform hands back which one was chosen.
enum class MenuCommand {
  openQuillonSite,
  openParlandoSite,
  toggleLanguageSwitch,
  toggleCopyKeys,
  toggleAutoSwitch,
  toggleDictionaryCorrection,
  toggleExcludeFrontmostApp,
  forgetLearnedWords,
  toggleSleepBlocker,
  togglePunctuationRemaps,
  toggleInvertMouseWheel,
  toggleFolderPeek,
  toggleDesktopFolderIcons,
  toggleOneCDoubleClick,
  captureScreenshot,
  recordFullScreenVideo,
  recordRegionVideo,
  toggleAudioRecording,
  createWebApp,
  menuPinAboveAll,
  menuSnapLeft,
  menuSnapRight,
  menuSnapMaximize,
  menuSnapCenter,
  menuSnapTopLeft,
  menuSnapTopRight,
  menuSnapBottomLeft,
  menuSnapBottomRight,
  toggleAutoSnapMouseDrag,
  toggleRestorePositions,
  menuShowClipboardHistory,
  toggleLaunchAtLogin,
  toggleAutoEnable,
  openAccessibility,
  restartApp,
  quit,
};
inline constexpr std::size_t MenuCommandCount = 36;
static_assert(static_cast<std::size_t>(MenuCommand::quit) + 1 == MenuCommandCount,
              "the last command counts");

std::string_view menuCommandName(MenuCommand command);
constexpr int menuCommandTag(MenuCommand command) {
  return static_cast<int>(command);
}
// Nothing for a tag that names no command.
std::optional<MenuCommand> menuCommandForTag(int tag);

} // namespace quillon
