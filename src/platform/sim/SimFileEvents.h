#pragma once

#include "platform/FileEvents.h"
#include "platform/sim/VirtualRunLoop.h"

#include <memory>
#include <set>
#include <vector>

namespace quillon {

// Changes to files are announced to the simulated desktop by whoever makes
// them (a test, a script), as another application's writes would be seen;
// each watcher of a folder above a changed path hears of it once its
// latency has passed, batched with what else changed meanwhile.
class SimFileEvents final : public FileEvents {
public:
  explicit SimFileEvents(VirtualRunLoop& runLoop) : runLoop_(runLoop) {}

  Observation watch(const std::filesystem::path& root, Duration latency,
                    Callback callback) override;

  bool reportsChangesIn(const std::filesystem::path& folder) const override;

  // Changes directly inside an unwatched folder reach no watcher, as when
  // the system runs out of watches.
  void changed(const std::vector<std::filesystem::path>& paths);
  void setUnwatched(const std::filesystem::path& folder) {
    unwatched_.insert(folder.lexically_normal());
  }
  std::size_t watcherCount() const { return watchers_->size(); }
  // A system that refuses to watch anything.
  void setWatchFails(bool fails) { watchFails_ = fails; }

private:
  struct Watcher {
    std::filesystem::path root;
    Duration latency;
    Callback callback;
    std::vector<std::filesystem::path> pending;
  };
  using List = std::vector<std::shared_ptr<Watcher>>;
  class Token;

  void schedule(const std::shared_ptr<Watcher>& watcher);

  VirtualRunLoop& runLoop_;
  std::shared_ptr<List> watchers_ = std::make_shared<List>();
  bool watchFails_ = false;
  std::set<std::filesystem::path> unwatched_;
};

} // namespace quillon
