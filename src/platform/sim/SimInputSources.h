#pragma once

#include "platform/InputSources.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/XkbLayoutCache.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// An ordered list of input sources, keyboard layouts among them backed by
// real xkb keymaps, with one of them current.
class SimInputSources final : public InputSources {
public:
  SimInputSources(SimJournal& journal, XkbLayoutCache& layouts)
      : journal_(journal), layouts_(layouts) {}

  void visitKeyboardSources(bool includeAllInstalled, const SourceVisitor& visit) const override;
  std::optional<InputSourceInfo> currentKeyboardSource() const override;
  std::optional<std::string> currentKeyboardSourceIdentifier() const override;
  std::optional<std::uint64_t> revision() const override { return revision_; }
  bool select(std::string_view identifier) override;
  std::optional<std::string> translateKey(std::string_view sourceIdentifier,
                                          KeyCode keyCode) const override;
  std::optional<std::string> translateShiftedKey(std::string_view sourceIdentifier,
                                                 KeyCode keyCode) const override;

  // A known layout identifier ("com.apple.keylayout.US", …), enabled and
  // select-capable, backed by its xkb layout.
  static std::optional<InputSourceInfo> describeKnownLayout(std::string_view identifier);
  static std::optional<std::string> xkbSpecFor(std::string_view identifier);

  // Replaces the enabled layouts; the first becomes current. On an unknown
  // identifier nothing changes and the error names it.
  bool setEnabledLayouts(const std::vector<std::string>& identifiers, std::string* error);
  // Adds any source, for situations the known layouts do not cover (palettes,
  // input modes, disabled or unselectable sources, regional languages).
  void addSource(InputSourceInfo info, std::optional<std::string> xkbSpec = std::nullopt);
  // The keymap of the current source, or null when it has none (a palette).
  const XkbLayout* currentLayout() const;

private:
  struct Source {
    InputSourceInfo info;
    const XkbLayout* layout = nullptr;
  };
  const Source* find(std::string_view identifier) const;

  SimJournal& journal_;
  XkbLayoutCache& layouts_;
  std::vector<Source> sources_;
  std::uint64_t revision_ = 0;
  std::optional<std::size_t> current_;
};

} // namespace quillon
