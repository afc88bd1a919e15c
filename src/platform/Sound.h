// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <string_view>

namespace quillon {

// The system's named alert sounds ("Pop", "Glass", "Tink", …).
class Sound {
public:
  virtual ~Sound() = default;
  virtual void play(std::string_view name) = 0;
};

} // namespace quillon
