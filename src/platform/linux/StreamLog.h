#pragma once

#include "platform/Log.h"

#include <mutex>
#include <ostream>

namespace quillon {

// Log lines to a stream (standard error in the product), whole lines at a
// time from any thread.
class StreamLog final : public Log {
public:
  explicit StreamLog(std::ostream& out) : out_(out) {}
  void write(std::string_view line) override;

private:
  std::mutex mutex_;
  std::ostream& out_;
};

} // namespace quillon
