#include "platform/sim/SimLog.h"

namespace quillon {

bool SimLog::contains(std::string_view line) const {
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    if (lines_.at(index) == line) {
      return true;
    }
  }
  return false;
}

} // namespace quillon
