#pragma once

#include <string>
#include <string_view>

namespace quillon {

// A log line made safe to write as one line: control characters (line
// breaks above all, which would let a file name pass for a line of its own)
// and bytes that are not UTF-8 become visible escapes such as "\n" or
// "\xFF". Backslashes stay as they are, so lines that quote a shortcut such
// as "Cmd+\" read as before.
std::string printableLogLine(std::string_view line);

} // namespace quillon
