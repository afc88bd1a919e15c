#pragma once

#include "platform/sim/SimKeyboard.h"
#include "platform/sim/VirtualClock.h"
#include "platform/sim/VirtualRunLoop.h"
#include "platform/sim/XkbLayoutCache.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Types text the way a person does: for each character, the physical key
// that produces it in a given layout (with Shift or Option held when the
// layout needs them), with time passing between keys.
//
// The typist does not wait for the product. A key falls due at its time even
// while the product sleeps between its own synthetic keystrokes, and is
// struck then, as on a desktop whose input reaches the tap ahead of work
// the product has queued: quick typing meets a correction half done.
class SimTypist {
public:
  // Time between two keys, as a quick typist leaves.
  static constexpr Duration defaultInterKeyDelay{0.08};

  SimTypist(SimKeyboard& keyboard, VirtualRunLoop& runLoop, VirtualClock& clock,
            XkbLayoutCache& layouts)
      : keyboard_(keyboard), runLoop_(runLoop), clock_(clock), layouts_(layouts) {}

  // Types nothing and answers why when the layout is unknown, the text is
  // not UTF-8, or a character has no key in the layout.
  std::optional<std::string> type(std::string_view layoutName, std::string_view text) {
    return type(layoutName, text, interKeyDelay_);
  }
  std::optional<std::string> type(std::string_view layoutName, std::string_view text,
                                  Duration interKeyDelay);

  // The time between keys of later type() calls without one of their own.
  void setInterKeyDelay(Duration delay) { interKeyDelay_ = delay; }
  Duration interKeyDelay() const { return interKeyDelay_; }

private:
  struct TimedStroke {
    KeyStroke stroke;
    TimePoint due;
  };

  void strike(KeyCode key, bool shift, bool option);
  // Strikes, in order, the keys whose time has come.
  void strikeDue(std::vector<TimedStroke>& strokes, std::size_t& next);

  SimKeyboard& keyboard_;
  VirtualRunLoop& runLoop_;
  VirtualClock& clock_;
  XkbLayoutCache& layouts_;
  Duration interKeyDelay_ = defaultInterKeyDelay;
  bool strikingWithModifiers_ = false;
};

} // namespace quillon
