// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Observation.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace quillon {

// Changes under a folder, reported in batches: everything that changed
// within one latency period arrives together, as the paths that changed.
class FileEvents {
public:
  using Callback = std::function<void(const std::vector<std::filesystem::path>& paths)>;

  virtual ~FileEvents() = default;
  // Calls back on the background queue with the changes made from now on
  // anywhere under root, except those this process makes itself. An
  // inactive observation when the folder cannot be watched.
  virtual Observation watch(const std::filesystem::path& root, Duration latency,
                            Callback callback) = 0;
  // Whether a change made directly inside this folder reaches a watcher of
  // a folder above it. Watches are not without limit: a folder the system
  // would not watch has to be read in full whenever it matters.
  virtual bool reportsChangesIn(const std::filesystem::path& folder) const {
    (void)folder;
    return true;
  }
};

} // namespace quillon
