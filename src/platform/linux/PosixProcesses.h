#pragma once

#include "platform/Processes.h"

namespace quillon {

// Real child processes through posix_spawn: an absolute path, an argument
// list, no shell unless the caller names one.
class PosixProcesses final : public Processes {
public:
  SpawnResult spawn(const SpawnRequest& request) override;
};

} // namespace quillon
