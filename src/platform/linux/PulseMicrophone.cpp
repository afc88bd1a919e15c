#include "platform/linux/PulseMicrophone.h"

namespace quillon {

bool PulseMicrophone::isAvailable() const {
  SpawnRequest request{Pactl, {"list", "short", "sources"}, true, true, nullptr};
  const SpawnResult started = processes_.spawn(request);
  if (!started.process) {
    return false;
  }
  // No server at all makes pactl fail; a server without inputs lists none.
  const std::optional<int> status = started.process->waitForExit();
  return status == 0 &&
         started.process->capturedOutput().find_first_not_of(" \t\r\n") != std::string::npos;
}

} // namespace quillon
