#include "input/LanguageSwitcher.h"

#include <string>
#include <vector>

namespace quillon {

namespace {

// A missing property disqualifies: only what the system affirms counts.
bool isSwitchable(const InputSourceInfo& source) {
  return source.enabled == true && source.selectCapable == true &&
         (source.type == inputsource::TypeKeyboardLayout ||
          source.type == inputsource::TypeKeyboardInputMode);
}

} // namespace

void LanguageSwitcher::switchToNextInputSource() {
  // Identifiers only: an absent one compares as the empty string.
  std::vector<std::string> kept;
  inputSources_.visitKeyboardSources(false, [&kept](const InputSourceInfo& source) {
    if (isSwitchable(source)) {
      kept.push_back(source.identifier.value_or(""));
    }
    return true;
  });
  if (kept.size() < 2) {
    return;
  }
  const auto current = inputSources_.currentKeyboardSource();
  if (!current) {
    return;
  }
  const std::string currentIdentifier = current->identifier.value_or("");
  std::size_t next = 0;
  for (std::size_t index = 0; index < kept.size(); ++index) {
    if (kept[index] == currentIdentifier) {
      next = (index + 1) % kept.size();
      break;
    }
  }
  inputSources_.select(kept[next]);
}

} // namespace quillon
