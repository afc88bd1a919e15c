#include "input/HotkeyTable.h"

#include <array>

namespace quillon {

namespace {

enum class ModifierRule {
  // Command and Control, no Option; Shift may be held.
  CommandControlShiftAllowed,
  // Command and Control, nothing else.
  CommandControlOnly,
  // Command, no Control, no Option; Shift may be held.
  CommandShiftAllowed,
  // Option and Shift, nothing else.
  OptionShiftOnly,
};

struct Hotkey {
  KeyCode keyCode;
  ModifierRule rule;
  Action action;
};

// First match wins, so the order of the rows is part of the behaviour.
constexpr std::array<Hotkey, 17> hotkeys{{
    {keycode::S, ModifierRule::CommandControlShiftAllowed, Action::toggleKeepAwake},
    {keycode::R, ModifierRule::CommandControlShiftAllowed, Action::toggleAudioRecording},
    {keycode::V, ModifierRule::CommandControlShiftAllowed, Action::openScreenVideoOverlay},
    {keycode::T, ModifierRule::CommandControlShiftAllowed, Action::togglePinFocusedWindow},
    {keycode::H, ModifierRule::CommandControlOnly, Action::triggerDictation},
    {keycode::LeftArrow, ModifierRule::CommandControlOnly, Action::snapLeftHalf},
    {keycode::RightArrow, ModifierRule::CommandControlOnly, Action::snapRightHalf},
    {keycode::UpArrow, ModifierRule::CommandControlOnly, Action::snapMaximize},
    {keycode::DownArrow, ModifierRule::CommandControlOnly, Action::snapCenter},
    {keycode::Digit1, ModifierRule::CommandControlOnly, Action::snapTopLeft},
    {keycode::Digit2, ModifierRule::CommandControlOnly, Action::snapTopRight},
    {keycode::Digit3, ModifierRule::CommandControlOnly, Action::snapBottomLeft},
    {keycode::Digit4, ModifierRule::CommandControlOnly, Action::snapBottomRight},
    {keycode::Backslash, ModifierRule::CommandShiftAllowed, Action::convertSelection},
    {keycode::S, ModifierRule::OptionShiftOnly, Action::captureAreaScreenshot},
    {keycode::V, ModifierRule::OptionShiftOnly, Action::showClipboardHistory},
    {keycode::H, ModifierRule::OptionShiftOnly, Action::triggerDictation},
}};

bool satisfies(ModifierRule rule, EventFlags flags) {
  const bool shift = hasFlag(flags, flag::Shift);
  const bool control = hasFlag(flags, flag::Control);
  const bool option = hasFlag(flags, flag::Option);
  const bool command = hasFlag(flags, flag::Command);
  switch (rule) {
  case ModifierRule::CommandControlShiftAllowed:
    return command && control && !option;
  case ModifierRule::CommandControlOnly:
    return command && control && !option && !shift;
  case ModifierRule::CommandShiftAllowed:
    return command && !control && !option;
  case ModifierRule::OptionShiftOnly:
    return !command && option && shift && !control;
  }
  return false;
}

} // namespace

std::optional<Action> matchHotkey(KeyCode keyCode, EventFlags flags) {
  for (const Hotkey& hotkey : hotkeys) {
    if (hotkey.keyCode == keyCode && satisfies(hotkey.rule, flags)) {
      return hotkey.action;
    }
  }
  return std::nullopt;
}

} // namespace quillon
