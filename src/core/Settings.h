#pragma once

#include "core/NotificationCenter.h"
#include "platform/Defaults.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The user's switches, read from the application's defaults domain so a
// change made anywhere is seen by the next read everywhere. The event tap
// asks several of them on every key, so a value read is kept for as long as
// the store says nothing in it has changed. Read on the main queue.
class Settings {
public:
  enum class Key {
    languageSwitchEnabled,
    copyKeysEnabled,
    autoEnableOnLaunch,
    autoSwitchLayoutEnabled,
    sleepBlockerEnabled,
    punctuationRemapsEnabled,
    invertMouseWheelEnabled,
    // Declared for compatibility with stored domains; nothing reads or writes
    // it, because continuous scrolling is never inverted.
    invertTrackpadScrollEnabled,
    folderPeekEnabled,
    desktopFolderIconsEnabled,
    autoSnapMouseDragEnabled,
    restoreWindowPositionsEnabled,
    oneCDoubleClickToF2Enabled,
    dictionaryCorrectionEnabled,
  };
  static constexpr std::size_t KeyCount = 14;

  // Settings that hold a list of strings rather than a switch.
  enum class ListKey {
    autoSwitchExcludedApps,
    autoSwitchNeverSwitch,
  };

  static constexpr std::string_view ChangedNotification = "quillonSettingsChanged";
  // The user's own command that starts dictation where the desktop has none
  // (an installed speech-to-text tool): a program and its arguments.
  static constexpr std::string_view DictationCommandKey = "dictationCommand";

  Settings(DefaultsDomain defaults, NotificationCenter& notifications)
      : defaults_(std::move(defaults)), notifications_(notifications) {}

  static std::string_view name(Key key);
  static std::optional<Key> keyNamed(std::string_view name);
  static bool defaultValue(Key key);
  static const std::array<Key, KeyCount>& allKeys();

  // The stored boolean, or the key's default when nothing or a non-boolean is
  // stored. Absence is never written back.
  bool value(Key key) const;
  // Stores, then announces the change synchronously, exactly once.
  void set(bool value, Key key);

  bool languageSwitchEnabled() const { return value(Key::languageSwitchEnabled); }
  bool copyKeysEnabled() const { return value(Key::copyKeysEnabled); }
  bool autoEnableOnLaunch() const { return value(Key::autoEnableOnLaunch); }
  bool autoSwitchLayoutEnabled() const { return value(Key::autoSwitchLayoutEnabled); }
  bool sleepBlockerEnabled() const { return value(Key::sleepBlockerEnabled); }
  bool punctuationRemapsEnabled() const { return value(Key::punctuationRemapsEnabled); }
  bool invertMouseWheelEnabled() const { return value(Key::invertMouseWheelEnabled); }
  bool folderPeekEnabled() const { return value(Key::folderPeekEnabled); }
  bool desktopFolderIconsEnabled() const { return value(Key::desktopFolderIconsEnabled); }
  bool autoSnapMouseDragEnabled() const { return value(Key::autoSnapMouseDragEnabled); }
  bool restoreWindowPositionsEnabled() const { return value(Key::restoreWindowPositionsEnabled); }
  bool oneCDoubleClickToF2Enabled() const { return value(Key::oneCDoubleClickToF2Enabled); }
  bool dictionaryCorrectionEnabled() const { return value(Key::dictionaryCorrectionEnabled); }

  static std::string_view name(ListKey key);
  // The stored strings in order; anything else stored (another type, or
  // non-strings in the array) reads as nothing, and is not written back.
  std::vector<std::string> list(ListKey key) const;
  // Stores, then announces the change synchronously, exactly once.
  void setList(const std::vector<std::string>& values, ListKey key);

  // Absent when none is set, or only blanks or something other than a text.
  std::optional<std::string> dictationCommand() const;
  void setDictationCommand(const std::string& command);

  DefaultsDomain& defaults() { return defaults_; }
  NotificationCenter& notifications() { return notifications_; }

private:
  bool storedValue(Key key) const;

  DefaultsDomain defaults_;
  mutable std::array<std::optional<bool>, KeyCount> known_{};
  mutable std::optional<std::uint64_t> knownRevision_;
  NotificationCenter& notifications_;
};

} // namespace quillon
