#include "platform/sim/SimLog.h"

#include <algorithm>

namespace quillon {

std::vector<std::string> SimLog::takeNewLines() {
  std::vector<std::string> fresh(lines_.begin() + static_cast<std::ptrdiff_t>(readUpTo_),
                                 lines_.end());
  readUpTo_ = lines_.size();
  return fresh;
}

bool SimLog::contains(std::string_view line) const {
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

} // namespace quillon
