#include "app/EntryPoint.h"
#include "platform/linux/LinuxPermissions.h"
#include "simulate/Simulation.h"

#ifdef QUILLON_HAVE_X11
#include "platform/linux/KeyRelay.h"
#include "platform/linux/KeyRelayProcess.h"
#include "platform/linux/LinuxPlatform.h"
#endif

#include <cstdlib>
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

constexpr int kNoDesktop = 2;

bool hasDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

int runLiveDesktop(const std::vector<std::string>& arguments) {
  if (!hasDisplay()) {
    std::cerr << "Quillon: no X display (DISPLAY is not set); run quillon --simulate [FILE] to use "
                 "Quillon on the simulated desktop\n";
    return kNoDesktop;
  }
#ifdef QUILLON_HAVE_X11
  const auto options =
      quillon::LinuxPlatform::optionsFromEnvironment(runningExecutable(arguments.front().c_str()));
  std::string error;
  const auto platform = quillon::LinuxPlatform::open(options, std::cerr, error);
  if (!platform) {
    std::cerr << "Quillon: " << error
              << "; run quillon --simulate [FILE] to use Quillon on the simulated desktop\n";
    return kNoDesktop;
  }
  return quillon::runProcess(arguments, platform->platform(), std::cout);
#else
  std::cerr << "Quillon: the live desktop backend is not built here; run quillon --simulate "
               "[FILE] to use Quillon on the simulated desktop\n";
  return kNoDesktop;
#endif
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
#ifdef QUILLON_HAVE_X11
  // The keyboard relay the live desktop starts from this same executable.
  if (arguments.size() == 3 && arguments[1] == quillon::KeyRelayProcess::relayArgument) {
    return quillon::runKeyRelay(std::atoi(arguments[2].c_str()));
  }
#endif
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
  return runLiveDesktop(arguments);
}
