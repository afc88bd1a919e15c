#include "platform/sim/SimFileEvents.h"

#include <algorithm>
#include <utility>

namespace quillon {

namespace {
bool isInside(const std::filesystem::path& path, const std::filesystem::path& root) {
  const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return rootEnd == root.end();
}
} // namespace

class SimFileEvents::Token final : public Observation::Token {
public:
  Token(std::weak_ptr<List> list, std::weak_ptr<Watcher> watcher)
      : list_(std::move(list)), watcher_(std::move(watcher)) {}
  void cancel() override {
    const auto list = list_.lock();
    const auto watcher = watcher_.lock();
    if (list && watcher) {
      std::erase(*list, watcher);
    }
  }

private:
  std::weak_ptr<List> list_;
  std::weak_ptr<Watcher> watcher_;
};

Observation SimFileEvents::watch(const std::filesystem::path& root, Duration latency,
                                 Callback callback) {
  if (watchFails_) {
    return Observation();
  }
  auto watcher =
      std::make_shared<Watcher>(Watcher{root.lexically_normal(), latency, std::move(callback), {}});
  watchers_->push_back(watcher);
  return Observation(std::make_unique<Token>(watchers_, watcher));
}

bool SimFileEvents::reportsChangesIn(const std::filesystem::path& folder) const {
  return !watchFails_ && !unwatched_.contains(folder.lexically_normal());
}

void SimFileEvents::changed(const std::vector<std::filesystem::path>& paths) {
  for (const auto& watcher : *watchers_) {
    const bool wasIdle = watcher->pending.empty();
    for (const auto& path : paths) {
      const auto normal = path.lexically_normal();
      if (isInside(normal, watcher->root) && reportsChangesIn(normal.parent_path())) {
        watcher->pending.push_back(path);
      }
    }
    if (wasIdle && !watcher->pending.empty()) {
      schedule(watcher);
    }
  }
}

void SimFileEvents::schedule(const std::shared_ptr<Watcher>& watcher) {
  runLoop_.asyncAfter(watcher->latency, [list = std::weak_ptr<List>(watchers_),
                                         weak = std::weak_ptr<Watcher>(watcher)] {
    const auto alive = weak.lock();
    const auto watchers = list.lock();
    if (!alive || !watchers ||
        std::find(watchers->begin(), watchers->end(), alive) == watchers->end()) {
      return;
    }
    const auto paths = std::exchange(alive->pending, {});
    alive->callback(paths);
  });
}

} // namespace quillon
