#include "platform/linux/StreamLog.h"

namespace quillon {

void StreamLog::write(std::string_view line) {
  const std::lock_guard lock(mutex_);
  out_ << line << '\n';
  out_.flush();
}

} // namespace quillon
