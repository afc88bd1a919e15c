#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Places a path between single quotes for "/bin/sh -c", each "'" written as
// "'\''" so no path can break out of the quotes.
std::string singleQuotedForShell(std::string_view text);

// The shell command that reopens the bundle one second after this process
// has gone.
std::string relaunchShellCommand(std::string_view bundlePath,
                                 std::string_view openTool = "/usr/bin/open");

} // namespace quillon
