#pragma once

#include "platform/sim/SimKeyboard.h"
#include "platform/sim/VirtualRunLoop.h"
#include "platform/sim/XkbLayoutCache.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Types text the way a person does: for each character, the physical key
// that produces it in a given layout (with Shift or Option held when the
// layout needs them), with time passing between keys.
class SimTypist {
public:
  // Time between two keys, as a quick typist leaves.
  static constexpr Duration defaultInterKeyDelay{0.08};

  SimTypist(SimKeyboard& keyboard, VirtualRunLoop& runLoop, XkbLayoutCache& layouts)
      : keyboard_(keyboard), runLoop_(runLoop), layouts_(layouts) {}

  // Types nothing and answers why when the layout is unknown, the text is
  // not UTF-8, or a character has no key in the layout.
  std::optional<std::string> type(std::string_view layoutName, std::string_view text,
                                  Duration interKeyDelay = defaultInterKeyDelay);

private:
  void strike(KeyCode key, bool shift, bool option);

  SimKeyboard& keyboard_;
  VirtualRunLoop& runLoop_;
  XkbLayoutCache& layouts_;
};

} // namespace quillon
