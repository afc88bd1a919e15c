// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>

namespace quillon {

enum class WindowLevelKey { Normal, Floating };

// The window server's stacking levels, which it lets this process change for
// any application's window.
class WindowLevels {
public:
  virtual ~WindowLevels() = default;
  virtual std::int32_t level(WindowLevelKey key) const = 0;
  // The window server may ignore the request; nothing tells.
  virtual void setWindowLevel(std::uint32_t windowNumber, std::int32_t level) = 0;
};

} // namespace quillon
