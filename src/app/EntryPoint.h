#pragma once

#include "platform/Application.h"
#include "platform/Permissions.h"
#include "platform/Platform.h"
#include "platform/PropertyValue.h"

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class ProcessMode {
  // Answers whether screen recording is permitted and exits: a running
  // process's own answer goes stale, so the product asks a fresh one.
  ScreenCaptureProbe,
  WebApp,
  MenuBar,
};

inline constexpr std::string_view ScreenCaptureProbeArgument = "--tcc-check-screen";
inline constexpr std::string_view SimulateArgument = "--simulate";
inline constexpr int UsageErrorStatus = 2;

// What the command line asks of the process once the probe has been ruled
// out. Settled before any desktop is opened, so a typo never starts the
// product.
enum class CommandLineRequest {
  RunDesktop,
  Simulate,
  ShowHelp,
  ShowVersion,
  Invalid,
};

struct CommandLine {
  CommandLineRequest request = CommandLineRequest::RunDesktop;
  // For Simulate: everything after the simulate argument.
  std::vector<std::string> simulateArguments;
  // For Invalid: the one line that says what was wrong.
  std::string problem;
};

// The arguments include the program path.
CommandLine parseCommandLine(std::span<const std::string> arguments);
void printUsage(std::ostream& out);
void printVersion(std::ostream& out);
// Answers help, version and a bad command line; empty when the process goes
// on to run.
std::optional<int> answerCommandLine(const CommandLine& commandLine, std::ostream& out,
                                     std::ostream& err);

// What the entry path learned of the session that the user should hear at
// launch.
struct SessionFacts {
  // A Wayland session, where the product sits on XWayland and reaches no
  // Wayland-native window.
  bool wayland = false;
};

inline constexpr std::string_view WaylandLogLine =
    "Quillon: Wayland session: only X11 (XWayland) windows are reached; Wayland-native windows "
    "are out of reach";
inline constexpr std::string_view WaylandMessage = "Wayland session: only X11 windows";

bool isScreenCaptureProbe(std::span<const std::string> arguments);
ProcessMode selectProcessMode(std::span<const std::string> arguments,
                              const std::optional<PropertyDictionary>& infoDictionary);
ActivationPolicy activationPolicyFor(ProcessMode mode);

// Prints "YES" or "NO" and a line feed.
int runScreenCaptureProbe(const Permissions& permissions, std::ostream& out);
std::unique_ptr<ApplicationDelegate> makeDelegate(ProcessMode mode, Platform& platform,
                                                  const SessionFacts& session = {});

// The process entry: the arguments include the program path.
int runProcess(std::span<const std::string> arguments, Platform& platform, std::ostream& out,
               const SessionFacts& session = {});

} // namespace quillon
