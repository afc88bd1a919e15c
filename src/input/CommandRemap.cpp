#include "input/CommandRemap.h"

namespace quillon {

namespace {

bool isRemappedKey(KeyCode keyCode) {
  return keyCode < 64 && ((CommandRemap::remappedKeys >> keyCode) & 1) != 0;
}

} // namespace

std::optional<EventFlags> CommandRemap::remap(KeyCode keyCode, EventFlags flags) {
  if (!isRemappedKey(keyCode)) {
    return std::nullopt;
  }
  // Control form: Shift, Option and Fn stay as they were.
  if (!hasFlag(flags, flag::Command) && hasFlag(flags, flag::Control)) {
    return (flags & ~(flag::Control | flag::Command)) | flag::Command;
  }
  // Fn form: Fn alone among Fn, Command and Control.
  if ((flags & (flag::Fn | flag::Command | flag::Control)) == flag::Fn) {
    return (flags & ~(flag::Fn | flag::Command | flag::Control)) | flag::Command;
  }
  return std::nullopt;
}

} // namespace quillon
