#include "platform/InputSources.h"

namespace quillon {

std::vector<InputSourceInfo> InputSources::keyboardSources(bool includeAllInstalled) const {
  std::vector<InputSourceInfo> sources;
  visitKeyboardSources(includeAllInstalled, [&](const InputSourceInfo& source) {
    sources.push_back(source);
    return true;
  });
  return sources;
}

std::optional<std::string> InputSources::translateShiftedKey(std::string_view, KeyCode) const {
  return std::nullopt;
}

} // namespace quillon
