#pragma once

#include "platform/PropertyValue.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon {

class Defaults;
class Log;
class Processes;

// The system's own dictation shortcut, kept among its symbolic hotkeys.
namespace dictationshortcut {
inline constexpr std::string_view domain = "com.apple.symbolichotkeys";
inline constexpr std::string_view key = "AppleSymbolicHotKeys";
inline constexpr std::string_view entry = "164";

struct Shortcut {
  std::int64_t keyCode = 0;
  std::uint64_t flags = 0;
  friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

// The enabled dictation shortcut in a stored hotkeys dictionary; absent when
// the entry is missing, switched off, mistyped or names no usable key.
std::optional<Shortcut> configured(const PropertyValue& hotkeys);
} // namespace dictationshortcut

// Makes sure at launch that the system has a dictation shortcut the trigger
// can press, installing ⌃⌥⌘D when there is none.
class SimDictationShortcut {
public:
  // Character "d", the D key, Control + Option + Command.
  static constexpr std::int64_t defaultCharacter = 100;
  static constexpr std::int64_t defaultKeyCode = 2;
  static constexpr std::int64_t defaultFlags = 0x1C0000;
  // Makes the running system read the changed hotkeys.
  static constexpr std::string_view settingsTool =
      "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/"
      "activateSettings";

  SimDictationShortcut(Defaults& defaults, Processes& processes, Log& log)
      : defaults_(defaults), processes_(processes), log_(log) {}

  void ensureShortcut();

private:
  void activateSettings();

  Defaults& defaults_;
  Processes& processes_;
  Log& log_;
};

} // namespace quillon
