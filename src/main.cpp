#include "app/EntryPoint.h"
#include "platform/linux/LinuxPermissions.h"
#include "simulate/Simulation.h"

#ifdef QUILLON_HAVE_X11
#include "platform/linux/KeyRelay.h"
#include "platform/linux/KeyRelayProcess.h"
#include "platform/Log.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SingleInstanceLock.h"
#include "platform/linux/XdgBaseDirectories.h"
#include "platform/shared/FileBundle.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
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
constexpr int kAlreadyRunning = 1;

bool hasDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

#ifdef QUILLON_HAVE_X11
// The platform's own bundle reads the same file again and reports what is
// wrong with it, once.
class QuietLog final : public quillon::Log {
public:
  void write(std::string_view) override {}
};

// Web apps run this same executable, beside the menu-bar product.
bool isMenuBarMode(const std::vector<std::string>& arguments,
                   const std::filesystem::path& executable) {
  QuietLog log;
  const quillon::FileBundle bundle(executable, log);
  return quillon::selectProcessMode(arguments, bundle.infoDictionary()) ==
         quillon::ProcessMode::MenuBar;
}

std::filesystem::path lockFolder() {
  const auto folders = quillon::XdgBaseDirectories::fromEnvironment();
  return folders.quillonRuntimeDirectory().value_or(std::filesystem::temp_directory_path() /
                                                    "quillon");
}
#endif

int runLiveDesktop(const std::vector<std::string>& arguments) {
  if (!hasDisplay()) {
    std::cerr << "Quillon: no X display (DISPLAY is not set); run quillon --simulate [FILE] to use "
                 "Quillon on the simulated desktop\n";
    return kNoDesktop;
  }
#ifdef QUILLON_HAVE_X11
  const auto options =
      quillon::LinuxPlatform::optionsFromEnvironment(runningExecutable(arguments.front().c_str()));
  // Claimed before the platform opens: opening it already gives back what a
  // killed instance left changed, which must not undo a running one's work.
  std::unique_ptr<quillon::SingleInstanceLock> instance;
  if (isMenuBarMode(arguments, options.executable)) {
    const char* display = std::getenv("DISPLAY");
    auto attempt = quillon::SingleInstanceLock::acquire(lockFolder(), display);
    if (attempt.heldByAnother) {
      std::cerr << "Quillon: already running on display " << display
                << (attempt.holder ? " (pid " + std::to_string(*attempt.holder) + ")" : "")
                << "; this start ends here\n";
      return kAlreadyRunning;
    }
    if (!attempt.lock) {
      std::cerr << "Quillon: cannot make sure only one instance runs: " << attempt.error << "\n";
    }
    instance = std::move(attempt.lock);
  }
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
