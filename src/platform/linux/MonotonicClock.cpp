#include "platform/linux/MonotonicClock.h"

#include <thread>

namespace quillon {

TimePoint MonotonicClock::now() const {
  return std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now());
}

WallTime MonotonicClock::wallNow() const {
  return std::chrono::system_clock::now();
}

void MonotonicClock::sleep(Duration duration) {
  if (duration > Duration::zero()) {
    std::this_thread::sleep_for(toNanoseconds(duration));
  }
}

} // namespace quillon
