#include "app/EntryPoint.h"
#include "platform/linux/LinuxPermissions.h"
#include "simulate/Simulation.h"

#ifdef QUILLON_HAVE_X11
#include "platform/Log.h"
#include "platform/linux/KeyRelay.h"
#include "platform/linux/KeyRelayProcess.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SingleInstanceLock.h"
#include "platform/linux/XdgBaseDirectories.h"
#include "platform/shared/FileBundle.h"
#include "webapp/WebAppDelegate.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
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

bool environmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool hasDisplay() {
  return environmentSet("DISPLAY");
}

#ifdef QUILLON_HAVE_X11
// Either variable alone marks a Wayland session: a terminal may have lost one
// of them, and XWayland hides the difference from an X client.
bool waylandSession() {
  const char* sessionType = std::getenv("XDG_SESSION_TYPE");
  return environmentSet("WAYLAND_DISPLAY") ||
         (sessionType != nullptr && std::string_view(sessionType) == "wayland");
}

// The platform's own bundle reads the same file again and reports what is
// wrong with it, once.
class QuietLog final : public quillon::Log {
public:
  void write(std::string_view) override {}
};

// Web apps run this same executable, beside the menu-bar product.
quillon::ProcessMode processModeOf(const std::vector<std::string>& arguments,
                                   const std::filesystem::path& executable) {
  QuietLog log;
  const quillon::FileBundle bundle(executable, log);
  return quillon::selectProcessMode(arguments, bundle.infoDictionary());
}

std::string webAppIdentifierOf(const std::filesystem::path& executable) {
  QuietLog log;
  const quillon::FileBundle bundle(executable, log);
  return bundle.bundleIdentifier().value_or(std::string(quillon::WebAppDelegate::FallbackDomain));
}

std::filesystem::path lockFolder() {
  const auto folders = quillon::XdgBaseDirectories::fromEnvironment();
  return folders.quillonRuntimeDirectory().value_or(std::filesystem::temp_directory_path() /
                                                    "quillon");
}
#endif

int runLiveDesktop(const std::vector<std::string>& arguments,
                   const std::filesystem::path& executable) {
  if (!hasDisplay()) {
    std::cerr << "Quillon: no X display (DISPLAY is not set); run quillon --simulate [FILE] to use "
                 "Quillon on the simulated desktop\n";
    return kNoDesktop;
  }
#ifdef QUILLON_HAVE_X11
  auto options = quillon::LinuxPlatform::optionsFromEnvironment(executable);
  const quillon::ProcessMode mode = processModeOf(arguments, options.executable);
  if (mode == quillon::ProcessMode::WebApp) {
    options.webAppIdentifier = webAppIdentifierOf(options.executable);
  }
  // Claimed before the platform opens: opening it already gives back what a
  // killed instance left changed, which must not undo a running one's work.
  std::unique_ptr<quillon::SingleInstanceLock> instance;
  if (mode == quillon::ProcessMode::MenuBar) {
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
  return quillon::runProcess(arguments, platform->platform(), std::cout,
                             quillon::SessionFacts{.wayland = waylandSession()});
#else
  (void)arguments;
  (void)executable;
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
  const quillon::CommandLine commandLine = quillon::parseCommandLine(arguments);
  if (const auto status = quillon::answerCommandLine(commandLine, std::cout, std::cerr)) {
    return *status;
  }
  // A parent may start the process with no arguments at all, not even a name.
  const auto executable = runningExecutable(arguments.empty() ? "quillon" : argv[0]);
  if (commandLine.request == quillon::CommandLineRequest::Simulate) {
    return quillon::runSimulation(commandLine.simulateArguments, executable, std::cin, std::cout,
                                  std::cerr);
  }
  return runLiveDesktop(arguments.empty() ? std::vector<std::string>{"quillon"} : arguments,
                        executable);
}
