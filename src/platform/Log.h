// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <string_view>

namespace quillon {

// Receives whole log lines, product prefix included ("Quillon: …").
class Log {
public:
  virtual ~Log() = default;
  virtual void write(std::string_view line) = 0;
};

} // namespace quillon
