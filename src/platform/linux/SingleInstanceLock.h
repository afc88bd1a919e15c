#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// A file name stem for one X server: ":0", ":0.0" and "unix:0" are one
// server, so they give one stem ("display-0").
std::string displayFileStem(std::string_view displayName);

// One product per X display and user: two would each grab the keyboard and
// correct every word twice. The lock is an flock on a file named for the
// display, which the kernel drops when the process ends, however it ends, so
// an instance killed outright never blocks the next start.
class SingleInstanceLock {
public:
  struct Attempt {
    // Held until destroyed; null when not taken.
    std::unique_ptr<SingleInstanceLock> lock;
    // Another process holds the display, with its process id when it wrote one.
    bool heldByAnother = false;
    std::optional<long> holder;
    // Why no lock could be taken at all, when that is the case.
    std::string error;
  };

  // Tries once, without waiting.
  static Attempt acquire(const std::filesystem::path& folder, std::string_view displayName);
  static std::string fileNameFor(std::string_view displayName) {
    return displayFileStem(displayName) + ".lock";
  }

  // Only acquire() makes one.
  class Key {
    friend class SingleInstanceLock;
    Key() = default;
  };
  SingleInstanceLock(Key, int descriptor) : descriptor_(descriptor) {}
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  // The file stays: removing it could let a starter lock a name no one else
  // finds any more.
  ~SingleInstanceLock();

private:
  int descriptor_;
};

} // namespace quillon
