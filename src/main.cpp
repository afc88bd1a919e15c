#include "app/EntryPoint.h"
#include "platform/linux/LinuxPermissions.h"
#include "simulate/Simulation.h"

#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace {

std::filesystem::path runningExecutable(const char* argumentZero) {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::filesystem::absolute(argumentZero, error);
  }
  return path;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
  // The probe must answer before anything else is created.
  if (quillon::isScreenCaptureProbe(arguments)) {
    const quillon::LinuxPermissions permissions;
    return quillon::runScreenCaptureProbe(permissions, std::cout);
  }
  if (arguments.size() >= 2 && arguments[1] == "--simulate") {
    return quillon::runSimulation(std::span(arguments).subspan(2),
                                  runningExecutable(arguments.front().c_str()), std::cin, std::cout,
                                  std::cerr);
  }
  std::cerr << "Quillon: the live desktop backend is not built yet; run quillon --simulate [FILE] "
               "to use Quillon on the simulated desktop\n";
  return 2;
}
