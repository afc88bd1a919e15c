#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// An inhibitor lock logind granted: the machine does what the lock blocks
// only once it is closed, which happens when this is destroyed or when the
// process ends in any way, a crash included.
class InhibitorLock {
public:
  explicit InhibitorLock(int descriptor) : descriptor_(descriptor) {}
  InhibitorLock(InhibitorLock&& other) noexcept;
  InhibitorLock& operator=(InhibitorLock&& other) noexcept;
  InhibitorLock(const InhibitorLock&) = delete;
  InhibitorLock& operator=(const InhibitorLock&) = delete;
  ~InhibitorLock();

private:
  int descriptor_ = -1;
};

// Asks logind on the system bus for inhibitor locks. Safe to use from any
// thread: each request is one blocking call with its own time-out.
class LogindInhibitor {
public:
  struct Request {
    // Colon-separated, as logind takes it: "sleep:idle:handle-lid-switch".
    std::string_view what;
    std::string_view why;
    int timeoutMilliseconds = 0;
  };

  // The lock, or nothing with the reason in `error`: no system bus, no
  // logind, or logind (through polkit) refused.
  static std::optional<InhibitorLock> take(const Request& request, std::string& error);
};

} // namespace quillon
