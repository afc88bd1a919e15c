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

} // namespace quillon
