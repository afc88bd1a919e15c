// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/KeyCodes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

namespace inputsource {
inline constexpr std::string_view CategoryKeyboard = "TISCategoryKeyboardInputSource";
inline constexpr std::string_view CategoryPalette = "TISCategoryPaletteInputSource";
inline constexpr std::string_view TypeKeyboardLayout = "TISTypeKeyboardLayout";
inline constexpr std::string_view TypeKeyboardInputMode = "TISTypeKeyboardInputMode";
inline constexpr std::string_view TypeKeyboardInputMethod = "TISTypeKeyboardInputMethodModeEnabled";
inline constexpr std::string_view TypeCharacterPalette = "TISTypeCharacterPalette";
} // namespace inputsource

// What the system tells about one input source. A property the system does
// not provide is absent, and callers treat absent as disqualifying.
struct InputSourceInfo {
  std::optional<std::string> identifier;
  std::optional<std::string> category;
  std::optional<std::string> type;
  std::optional<bool> enableCapable;
  std::optional<bool> enabled;
  std::optional<bool> selectCapable;
  std::vector<std::string> languages;
  friend bool operator==(const InputSourceInfo&, const InputSourceInfo&) = default;
};

class InputSources {
public:
  // Returns false to stop the walk.
  using SourceVisitor = std::function<bool(const InputSourceInfo&)>;

  virtual ~InputSources() = default;
  // Enable-capable keyboard sources in the system's own order; with
  // includeAllInstalled, also those the user has not enabled. Walked in place
  // so that per-keystroke queries copy nothing.
  virtual void visitKeyboardSources(bool includeAllInstalled, const SourceVisitor& visit) const = 0;
  virtual std::optional<InputSourceInfo> currentKeyboardSource() const = 0;
  virtual std::optional<std::string> currentKeyboardSourceIdentifier() const = 0;
  virtual bool select(std::string_view identifier) = 0;
  // What the key types in that source with no modifier held, as UTF-8:
  // empty for a dead key, absent when the source has no keyboard layout or
  // the key cannot be translated.
  virtual std::optional<std::string> translateKey(std::string_view sourceIdentifier,
                                                  KeyCode keyCode) const = 0;
  // The same with Shift held; absent where the backend cannot tell.
  virtual std::optional<std::string> translateShiftedKey(std::string_view sourceIdentifier,
                                                         KeyCode keyCode) const;

  std::vector<InputSourceInfo> keyboardSources(bool includeAllInstalled) const;

  // A number that changes whenever the list of sources or any of their
  // properties may have changed (not the current source), so a reader may
  // keep what it found until then; absent when the backend cannot tell, and
  // readers must then walk the list afresh.
  virtual std::optional<std::uint64_t> revision() const { return std::nullopt; }
};

} // namespace quillon
