#include "support/TapWorld.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr KeyCode cmd = keycode::Command;
constexpr KeyCode shift = keycode::Shift;

class CommandShiftTapCancelTest : public ::testing::TestWithParam<KeyCode>, protected TapWorld {
protected:
  void SetUp() override { ASSERT_TRUE(tap->start()); }

  std::string source() {
    return desktop.inputSources().currentKeyboardSourceIdentifier().value_or("none");
  }

  std::unique_ptr<EventTap> tap = makeTap();
};

// Command and Shift alone are held first, so only the later modifier can rule the tap out.
TEST_P(CommandShiftTapCancelTest, AModifierAddedToCommandShiftCancelsTheTap) {
  const KeyCode added = GetParam();
  SimKeyboard& keyboard = desktop.keyboard();

  // Released last, as `press cmd+shift+alt` does.
  pressChord({cmd, shift, added}, std::nullopt);
  EXPECT_EQ(source(), "com.apple.keylayout.US");

  // Released first, so that Command and Shift are alone again before the end.
  keyboard.keyDown(cmd);
  keyboard.keyDown(shift);
  keyboard.keyDown(added);
  keyboard.keyUp(added);
  keyboard.keyUp(shift);
  keyboard.keyUp(cmd);
  EXPECT_EQ(source(), "com.apple.keylayout.US");
  EXPECT_TRUE(desktop.log().lines().empty());

  // The next clean tap still counts.
  pressChord({cmd, shift}, std::nullopt);
  EXPECT_EQ(source(), "com.apple.keylayout.Russian");
}

INSTANTIATE_TEST_SUITE_P(Modifiers, CommandShiftTapCancelTest,
                         ::testing::Values(keycode::Option, keycode::Control, keycode::Function),
                         [](const ::testing::TestParamInfo<KeyCode>& modifier) {
                           switch (modifier.param) {
                           case keycode::Option:
                             return std::string("Option");
                           case keycode::Control:
                             return std::string("Control");
                           default:
                             return std::string("Fn");
                           }
                         });

} // namespace
} // namespace quillon
