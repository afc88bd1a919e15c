#include "platform/linux/StreamLog.h"

#include "text/LogLine.h"

namespace quillon {

// Names of files and windows reach log lines; escaping here keeps each call
// one line, whatever it quotes.
void StreamLog::write(std::string_view line) {
  const std::string printable = printableLogLine(line);
  const std::lock_guard lock(mutex_);
  out_ << printable << '\n';
  out_.flush();
}

} // namespace quillon
