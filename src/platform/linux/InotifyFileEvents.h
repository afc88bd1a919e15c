#pragma once

#include "platform/FileEvents.h"
#include "platform/Log.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace quillon {

// Folder changes from inotify. inotify watches one folder at a time, so a
// watch covers its root and each folder directly in it, including folders
// made later; deeper changes show only as their folder's own change.
// Names made, written, moved or deleted are reported; dates and attributes
// are not, which is also how this process's own touches stay unheard: it
// changes only those, and writes its pictures elsewhere.
class InotifyFileEvents final : public FileEvents {
public:
  explicit InotifyFileEvents(Log& log) : log_(log) {}

  // Calls back on a thread of the watch's own; stopping the observation
  // waits for a callback under way, so it must not be stopped from inside
  // one.
  Observation watch(const std::filesystem::path& root, Duration latency,
                    Callback callback) override;
  bool reportsChangesIn(const std::filesystem::path& folder) const override;

private:
  class Watch;
  class Token;

  Log& log_;
  // The watches that are running; each removes itself when stopped.
  struct Registry {
    std::mutex mutex;
    std::vector<Watch*> watches;
  };
  std::shared_ptr<Registry> registry_ = std::make_shared<Registry>();
};

} // namespace quillon
