#pragma once

#include "support/TapWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr std::string_view US = "com.apple.keylayout.US";
inline constexpr std::string_view Russian = "com.apple.keylayout.Russian";

// Layout correction as the user meets it: keys typed on the simulated
// keyboard, the focused field and the current source read afterwards.
class TypingTest : public ::testing::Test, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  // Types on the physical keys of the xkb layout, then lets the main queue
  // catch up, as it would while the user pauses.
  void type(std::string_view layout, std::string_view text) {
    const auto problem = desktop.typist().type(layout, text);
    ASSERT_FALSE(problem) << *problem;
    desktop.advance(Duration(0.5));
  }
  void press(std::vector<KeyCode> modifiers, KeyCode key) {
    pressChord(modifiers, key);
    desktop.advance(Duration(0.5));
  }
  void undoShortcut() { press({keycode::Command}, keycode::Backslash); }
  std::string text() { return desktop.textField().text(); }
  std::string source() {
    return desktop.inputSources().currentKeyboardSourceIdentifier().value_or("none");
  }
  bool logged(std::string_view line) { return desktop.log().contains(line); }
  bool loggedContaining(std::string_view part) { return countLinesContaining(part) > 0; }
  std::size_t countLinesContaining(std::string_view part) {
    const auto& lines = desktop.log().lines();
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
          return line.find(part) != std::string::npos;
        }));
  }
  // Starts the next case from an empty field on the English layout.
  void startOver() {
    desktop.advance(Duration(4));
    desktop.textField().clear();
    ASSERT_TRUE(desktop.inputSources().select(US));
  }

  std::unique_ptr<EventTap> tap = makeTap();
};

} // namespace quillon
