#include "platform/sim/SimLog.h"

#include "text/LogLine.h"

namespace quillon {

void SimLog::write(std::string_view line) {
  lines_.push(printableLogLine(line));
}

bool SimLog::contains(std::string_view line) const {
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    if (lines_.at(index) == line) {
      return true;
    }
  }
  return false;
}

} // namespace quillon
