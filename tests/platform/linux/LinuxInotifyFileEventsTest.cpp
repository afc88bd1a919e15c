#include "platform/linux/InotifyFileEvents.h"
#include "platform/linux/StreamLog.h"
#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace quillon {
namespace {

using namespace std::chrono_literals;

// What a watch reported, batch by batch.
class Batches {
public:
  FileEvents::Callback callback() {
    return [this](const std::vector<std::filesystem::path>& paths) {
      const std::scoped_lock lock(mutex_);
      batches_.push_back(paths);
      changed_.notify_all();
    };
  }
  // Waits (a guard against a hang, not a timing) until a batch names the path.
  bool waitFor(const std::filesystem::path& path) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return namesLocked(path); });
  }
  bool names(const std::filesystem::path& path) {
    const std::scoped_lock lock(mutex_);
    return namesLocked(path);
  }

private:
  bool namesLocked(const std::filesystem::path& path) const {
    return std::any_of(batches_.begin(), batches_.end(), [&](const auto& batch) {
      return std::find(batch.begin(), batch.end(), path) != batch.end();
    });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<std::filesystem::path>> batches_;
};

class InotifyFileEventsTest : public testing::Test {
protected:
  // Polls while the watch's thread catches up: a guard against a hang, not
  // a timing.
  static bool becomes(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) {
        return false;
      }
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  std::filesystem::path desktop() const { return root_.path(); }

  TemporaryDirectory root_{"quillon-inotify"};
  std::ostringstream logText_;
  StreamLog log_{logText_};
  InotifyFileEvents events_{log_};
  Batches batches_;
};

TEST_F(InotifyFileEventsTest, ChangesInTheRootAndItsFoldersArriveTogetherAndTouchesDoNot) {
  const auto photos = desktop() / "Photos";
  std::filesystem::create_directories(photos / "Deeper");
  Observation watch = events_.watch(desktop(), 0.3s, batches_.callback());
  ASSERT_TRUE(watch.isActive());
  EXPECT_TRUE(events_.reportsChangesIn(desktop()));
  EXPECT_TRUE(events_.reportsChangesIn(photos));
  // One level only: what happens deeper shows as its folder's change.
  EXPECT_FALSE(events_.reportsChangesIn(photos / "Deeper"));

  // Dates and attributes are what this process changes on folders it draws.
  const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
  ASSERT_EQ(::utimensat(AT_FDCWD, photos.c_str(), now, 0), 0);
  std::ofstream(photos / "a.txt") << "a";
  std::ofstream(desktop() / "b.txt") << "b";
  ASSERT_TRUE(batches_.waitFor(desktop() / "b.txt"));
  EXPECT_TRUE(batches_.names(photos / "a.txt"));
  EXPECT_FALSE(batches_.names(photos));

  watch.stop();
  EXPECT_FALSE(events_.reportsChangesIn(photos));
}

TEST_F(InotifyFileEventsTest, FoldersMadeLaterAreWatchedAndFoldersMovedAwayAreNot) {
  Observation watch = events_.watch(desktop(), 0.05s, batches_.callback());
  ASSERT_TRUE(watch.isActive());
  const auto later = desktop() / "Later";
  std::filesystem::create_directories(later);
  ASSERT_TRUE(batches_.waitFor(later));
  EXPECT_TRUE(events_.reportsChangesIn(later));
  std::ofstream(later / "inside.txt") << "x";
  EXPECT_TRUE(batches_.waitFor(later / "inside.txt"));

  TemporaryDirectory elsewhere("quillon-inotify-elsewhere");
  std::filesystem::rename(later, elsewhere.path() / "Later");
  EXPECT_TRUE(becomes([&] { return !events_.reportsChangesIn(later); }));
  // A new folder of the same name is watched afresh, once its making has
  // been heard.
  std::filesystem::create_directories(later);
  ASSERT_TRUE(becomes([&] { return events_.reportsChangesIn(later); }));
  std::ofstream(later / "again.txt") << "x";
  EXPECT_TRUE(batches_.waitFor(later / "again.txt"));
}

TEST_F(InotifyFileEventsTest, AMissingRootCannotBeWatched) {
  const Observation watch = events_.watch(desktop() / "absent", 0.05s, batches_.callback());
  EXPECT_FALSE(watch.isActive());
  EXPECT_FALSE(events_.reportsChangesIn(desktop() / "absent"));
}

} // namespace
} // namespace quillon
