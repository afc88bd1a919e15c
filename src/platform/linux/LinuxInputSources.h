#pragma once

#include "platform/InputSources.h"
#include "platform/Log.h"
#include "platform/linux/X11Connection.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace quillon {

// The X session's keyboard groups as input sources. Each group of the XKB
// rules names ("us,ru") is one source; the current one is the core
// keyboard's locked group, and selecting one locks its group.
class LinuxInputSources final : public InputSources {
public:
  // A key of the live keymap and whether Shift must be held for it.
  struct Stroke {
    std::uint32_t keycode;
    bool shift;
  };

  LinuxInputSources(X11Connection& connection, Log& log, bool desktopRelocksGroup);
  LinuxInputSources(const LinuxInputSources&) = delete;
  LinuxInputSources& operator=(const LinuxInputSources&) = delete;
  ~LinuxInputSources() override;

  void visitKeyboardSources(bool includeAllInstalled, const SourceVisitor& visit) const override;
  std::optional<InputSourceInfo> currentKeyboardSource() const override;
  std::optional<std::string> currentKeyboardSourceIdentifier() const override;
  bool select(std::string_view identifier) override;
  std::optional<std::string> translateKey(std::string_view sourceIdentifier,
                                          KeyCode keyCode) const override;
  std::optional<std::string> translateShiftedKey(std::string_view sourceIdentifier,
                                                 KeyCode keyCode) const override;

  // The key that types the character in the current group, preferring no
  // Shift; absent when the group cannot type it.
  std::optional<Stroke> strokeFor(char32_t character) const;
  std::size_t currentGroup() const { return currentGroup_; }

  // The identifier a layout gets: the layouts the logic knows by name keep
  // those names, the others are named "xkb:LAYOUT" or "xkb:LAYOUT(VARIANT)".
  static std::string identifierFor(std::string_view layout, std::string_view variant);
  // ISO 639-3 codes become the two-letter codes the logic compares.
  static std::string twoLetterLanguage(std::string_view iso639);

private:
  struct Group {
    InputSourceInfo info;
    xkb_state* plain = nullptr;
    xkb_state* shifted = nullptr;
    std::unordered_map<char32_t, Stroke> strokes;
  };

  void reload();
  void releaseKeymap();
  void onEvent(XEvent& event);
  std::optional<std::size_t> groupIndex(std::string_view identifier) const;
  std::optional<std::string> translate(std::string_view identifier, KeyCode keyCode,
                                       bool shift) const;
  void reportUnpairedLayouts();

  X11Connection& connection_;
  Log& log_;
  bool desktopRelocksGroup_;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  std::vector<Group> groups_;
  std::size_t currentGroup_ = 0;
  std::string reportedLayouts_;
  Observation events_;
};

} // namespace quillon
