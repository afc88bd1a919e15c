#pragma once

#include "platform/InputSources.h"

namespace quillon {

// Selects the next enabled keyboard layout or input mode, in the system's
// own order, wrapping around.
class LanguageSwitcher {
public:
  explicit LanguageSwitcher(InputSources& inputSources) : inputSources_(inputSources) {}
  void switchToNextInputSource();

private:
  InputSources& inputSources_;
};

} // namespace quillon
