// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <chrono>

namespace quillon {

// Monotonic time for intervals and timers; the simulated desktop runs it
// virtually, so timed behaviour is tested instantly and deterministically.
using Duration = std::chrono::duration<double>;
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, std::chrono::nanoseconds>;
// Wall-clock time, for time stamps shown to the user or stored in files.
using WallTime = std::chrono::system_clock::time_point;

// Rounded, so that 0.09 s written in a script is 90 ms exactly and not a
// nanosecond short of it.
constexpr std::chrono::nanoseconds toNanoseconds(Duration duration) {
  return std::chrono::round<std::chrono::nanoseconds>(duration);
}

class Clock {
public:
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
  virtual WallTime wallNow() const = 0;
  // Blocks the calling thread; every sleep in the product goes through here.
  virtual void sleep(Duration duration) = 0;
};

} // namespace quillon
