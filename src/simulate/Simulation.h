#pragma once

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>

namespace quillon {

// `quillon --simulate [FILE]`: the arguments after --simulate, the script
// from FILE or else from the input stream. Returns the process status.
int runSimulation(std::span<const std::string> arguments, const std::filesystem::path& executable,
                  std::istream& in, std::ostream& out, std::ostream& err);

} // namespace quillon
