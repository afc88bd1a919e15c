#include "platform/linux/InotifyFileEvents.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace quillon {

namespace {

constexpr std::uint32_t watchedChanges = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_DELETE | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr std::size_t readBufferSize = 64 * 1024;

class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

private:
  int fd_;
};

// Hidden folders are never previewed or peeked into; watching them would
// only spend the user's limited watches.
bool isHiddenName(const std::filesystem::path& path) {
  return path.filename().string().starts_with('.');
}

} // namespace

class InotifyFileEvents::Watch {
public:
  Watch(std::filesystem::path root, Duration latency, Callback callback, Log& log)
      : root_(std::move(root)), latency_(latency), callback_(std::move(callback)), log_(log) {}
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() {
    if (thread_.joinable()) {
      const std::uint64_t one = 1;
      [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
      thread_.join();
    }
  }

  // False when the root itself cannot be watched.
  bool begin() {
    if (!inotify_.isOpen() || !wake_.isOpen() || !addFolder(root_)) {
      return false;
    }
    std::error_code error;
    std::size_t refused = 0;
    for (std::filesystem::directory_iterator entries(root_, error), end; !error && entries != end;
         entries.increment(error)) {
      std::error_code kindError;
      if (entries->symlink_status(kindError).type() == std::filesystem::file_type::directory &&
          !isHiddenName(entries->path()) && !addFolder(entries->path())) {
        ++refused;
      }
    }
    if (refused > 0) {
      log_.write("Quillon: " + std::to_string(refused) + " folders under " + root_.string() +
                 " cannot be watched (" + std::strerror(lastError_) +
                 "); they are read in full instead");
    }
    thread_ = std::thread([this] { run(); });
    return true;
  }

  bool covers(const std::filesystem::path& folder) const {
    const std::scoped_lock lock(mutex_);
    return watched_.contains(folder.lexically_normal());
  }

private:
  bool addFolder(const std::filesystem::path& folder) {
    const int descriptor = inotify_add_watch(inotify_.get(), folder.c_str(), watchedChanges);
    if (descriptor < 0) {
      lastError_ = errno;
      return false;
    }
    const std::scoped_lock lock(mutex_);
    folders_[descriptor] = folder.lexically_normal();
    watched_.insert(folder.lexically_normal());
    return true;
  }

  void forget(int descriptor) {
    const std::scoped_lock lock(mutex_);
    const auto found = folders_.find(descriptor);
    if (found != folders_.end()) {
      watched_.erase(found->second);
      folders_.erase(found);
    }
  }

  std::optional<std::filesystem::path> folderOf(int descriptor) const {
    const std::scoped_lock lock(mutex_);
    const auto found = folders_.find(descriptor);
    return found == folders_.end() ? std::nullopt : std::optional(found->second);
  }

  void run() {
    while (true) {
      int timeout = -1;
      if (deadline_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            *deadline_ - std::chrono::steady_clock::now());
        timeout = static_cast<int>(std::max<std::int64_t>(0, left.count()));
      }
      std::array<pollfd, 2> polled{pollfd{inotify_.get(), POLLIN, 0},
                                   pollfd{wake_.get(), POLLIN, 0}};
      const int ready = ::poll(polled.data(), polled.size(), timeout);
      if (ready < 0 && errno != EINTR) {
        return;
      }
      if ((polled[1].revents & POLLIN) != 0) {
        return;
      }
      if ((polled[0].revents & POLLIN) != 0) {
        readEvents();
      }
      if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) {
        deadline_.reset();
        callback_(std::exchange(pending_, {}));
      }
    }
  }

  void readEvents() {
    alignas(inotify_event) std::array<char, readBufferSize> buffer{};
    const ssize_t length = ::read(inotify_.get(), buffer.data(), buffer.size());
    if (length <= 0) {
      return;
    }
    for (ssize_t offset = 0; offset < length;) {
      inotify_event event{};
      std::memcpy(&event, buffer.data() + offset, sizeof event);
      const char* name = buffer.data() + offset + sizeof(inotify_event);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      handle(event, event.len > 0 ? std::string(name) : std::string());
    }
  }

  void handle(const inotify_event& event, const std::string& name) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
      // Events were lost: every watched folder may have changed.
      const std::scoped_lock lock(mutex_);
      for (const auto& folder : watched_) {
        report(folder);
      }
      return;
    }
    if ((event.mask & IN_IGNORED) != 0) {
      forget(event.wd);
      return;
    }
    const auto folder = folderOf(event.wd);
    if (!folder) {
      return;
    }
    const std::filesystem::path changed = name.empty() ? *folder : *folder / name;
    // A folder made or moved into the root is watched from now on, so its
    // own changes are heard like those of the folders found at the start.
    if ((event.mask & IN_ISDIR) != 0 && (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0 &&
        *folder == root_.lexically_normal() && !isHiddenName(changed) && !addFolder(changed)) {
      log_.write("Quillon: a new folder under " + root_.string() + " cannot be watched (" +
                 std::strerror(lastError_) + "); it is read in full instead");
    }
    // One moved away is no longer this root's, whatever its watch says.
    if ((event.mask & IN_ISDIR) != 0 && (event.mask & IN_MOVED_FROM) != 0 &&
        *folder == root_.lexically_normal()) {
      stopWatching(changed);
    }
    report(changed);
  }

  void stopWatching(const std::filesystem::path& folder) {
    const std::scoped_lock lock(mutex_);
    const auto found = std::find_if(folders_.begin(), folders_.end(), [&folder](const auto& entry) {
      return entry.second == folder;
    });
    if (found != folders_.end()) {
      inotify_rm_watch(inotify_.get(), found->first);
      watched_.erase(found->second);
      folders_.erase(found);
    }
  }

  void report(const std::filesystem::path& path) {
    pending_.push_back(path);
    if (!deadline_) {
      deadline_ = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(latency_);
    }
  }

  const std::filesystem::path root_;
  const Duration latency_;
  const Callback callback_;
  Log& log_;
  Descriptor inotify_{inotify_init1(IN_NONBLOCK | IN_CLOEXEC)};
  Descriptor wake_{eventfd(0, EFD_CLOEXEC)};
  int lastError_ = 0;
  // Read by reportsChangesIn from other threads.
  mutable std::mutex mutex_;
  std::map<int, std::filesystem::path> folders_;
  std::set<std::filesystem::path> watched_;
  // Touched only by the watch's thread.
  std::vector<std::filesystem::path> pending_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  std::thread thread_;
};

class InotifyFileEvents::Token final : public Observation::Token {
public:
  Token(std::shared_ptr<Registry> registry, std::unique_ptr<Watch> watch)
      : registry_(std::move(registry)), watch_(std::move(watch)) {
    const std::scoped_lock lock(registry_->mutex);
    registry_->watches.push_back(watch_.get());
  }
  void cancel() override {
    {
      const std::scoped_lock lock(registry_->mutex);
      std::erase(registry_->watches, watch_.get());
    }
    watch_.reset();
  }

private:
  std::shared_ptr<Registry> registry_;
  std::unique_ptr<Watch> watch_;
};

Observation InotifyFileEvents::watch(const std::filesystem::path& root, Duration latency,
                                     Callback callback) {
  auto started = std::make_unique<Watch>(root, latency, std::move(callback), log_);
  if (!started->begin()) {
    return Observation();
  }
  return Observation(std::make_unique<Token>(registry_, std::move(started)));
}

bool InotifyFileEvents::reportsChangesIn(const std::filesystem::path& folder) const {
  const std::scoped_lock lock(registry_->mutex);
  return std::any_of(registry_->watches.begin(), registry_->watches.end(),
                     [&folder](const Watch* each) { return each->covers(folder); });
}

} // namespace quillon
