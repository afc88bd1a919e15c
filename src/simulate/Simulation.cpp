#include "simulate/Simulation.h"

#include "simulate/ScriptRunner.h"

#include <fstream>
#include <iostream>

namespace quillon {

int runSimulation(std::span<const std::string> arguments, const std::filesystem::path& executable,
                  std::istream& in, std::ostream& out, std::ostream& err) {
  if (arguments.size() > 1) {
    err << "usage: quillon --simulate [FILE]\n";
    return 2;
  }
  std::ifstream file;
  if (!arguments.empty()) {
    file.open(arguments.front());
    if (!file) {
      err << "quillon: cannot open script " << arguments.front() << '\n';
      return 1;
    }
  }
  SimDesktop::Options options;
  options.executablePath = executable;
  SimDesktop desktop(options);
  ScriptRunner runner(desktop, out);
  runner.run(arguments.empty() ? in : file);
  return 0;
}

} // namespace quillon
