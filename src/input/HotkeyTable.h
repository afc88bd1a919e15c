#pragma once

#include "core/ActionTable.h"
#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"

#include <optional>

namespace quillon {

// The global hotkeys: which key with which modifiers performs which action.
// Only Shift, Control, Option and Command take part; Fn never does.
std::optional<Action> matchHotkey(KeyCode keyCode, EventFlags flags);

} // namespace quillon
