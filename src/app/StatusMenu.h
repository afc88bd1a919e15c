#pragma once

#include "app/MenuCommand.h"
#include "core/Settings.h"
#include "platform/Localization.h"
#include "platform/UserInterface.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Our own lines at the top of the menu. Changing what we promote touches
// nothing but this block.
namespace promotion {
inline constexpr std::string_view QuillonSiteUrl = "https://quillon.app";
inline constexpr std::string_view ParlandoSiteUrl = "https://parlando.chat";
// Shown as the link line's title.
inline constexpr std::string_view ParlandoDomain = "parlando.chat";
inline constexpr std::array<std::string_view, 2> ParlandoFeatures{
    "Private chats and calls, end-to-end encrypted",
    "Russian and English side by side, on every device",
};
} // namespace promotion

// A menu item whose check mark shows one setting.
struct SettingToggle {
  MenuCommand command;
  Settings::Key key;
};

// The status menu as data: every item in order with its localised title,
// command, key equivalent, state and submenu. Items are found by their
// command, never by position or title.
class StatusMenu {
public:
  // Every item that follows a setting; "Launch at login" follows the
  // login-item service instead.
  static constexpr std::array<SettingToggle, 13> SettingToggles{{
      {MenuCommand::toggleLanguageSwitch, Settings::Key::languageSwitchEnabled},
      {MenuCommand::toggleCopyKeys, Settings::Key::copyKeysEnabled},
      {MenuCommand::toggleAutoSwitch, Settings::Key::autoSwitchLayoutEnabled},
      {MenuCommand::toggleDictionaryCorrection, Settings::Key::dictionaryCorrectionEnabled},
      {MenuCommand::toggleSleepBlocker, Settings::Key::sleepBlockerEnabled},
      {MenuCommand::togglePunctuationRemaps, Settings::Key::punctuationRemapsEnabled},
      {MenuCommand::toggleInvertMouseWheel, Settings::Key::invertMouseWheelEnabled},
      {MenuCommand::toggleFolderPeek, Settings::Key::folderPeekEnabled},
      {MenuCommand::toggleDesktopFolderIcons, Settings::Key::desktopFolderIconsEnabled},
      {MenuCommand::toggleOneCDoubleClick, Settings::Key::oneCDoubleClickToF2Enabled},
      {MenuCommand::toggleAutoSnapMouseDrag, Settings::Key::autoSnapMouseDragEnabled},
      {MenuCommand::toggleRestorePositions, Settings::Key::restoreWindowPositionsEnabled},
      {MenuCommand::toggleAutoEnable, Settings::Key::autoEnableOnLaunch},
  }};

  static constexpr std::string_view RecordAudioTitle = "Record audio (⌃⌘R)";
  static constexpr std::string_view StopAudioTitle = "Stop audio recording";
  // Followed by the name of the application in front when the menu opened.
  static constexpr std::string_view ExcludeAppTitle = "Don't correct in";
  static constexpr std::string_view ExcludeNoAppTitle = "Don't correct in this application";
  // Followed by the number of words learned, in parentheses.
  static constexpr std::string_view ForgetLearnedWordsTitle = "Forget learned words";

  // Every check mark off; the owner sets them from the settings.
  explicit StatusMenu(const Localization& localization);

  const std::vector<MenuItem>& items() const { return items_; }
  // The (first) item that runs the command; every command has one.
  MenuItem& item(MenuCommand command);
  const MenuItem& item(MenuCommand command) const;
  // Appends the note to each hotkey reminder that starts dictation, for a
  // desktop where nothing can start it.
  void noteDictationUnavailable(const Localization& localization, std::string_view note);

private:
  std::vector<MenuItem> items_;
};

} // namespace quillon
