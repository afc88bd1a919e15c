#include "platform/sim/SimLog.h"

#include <algorithm>

namespace quillon {

bool SimLog::contains(std::string_view line) const {
  const auto& lines = lines_.items();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace quillon
