#include "app/EntryPoint.h"

#include "app/AppDelegate.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "webapp/WebAppDelegate.h"

#include <algorithm>

#ifndef QUILLON_VERSION
#error "the build passes the project's version as QUILLON_VERSION"
#endif

namespace quillon {

namespace {

constexpr std::string_view programName = "quillon";
constexpr std::string_view usageText =
    R"(Usage: quillon [--help | --version]
       quillon --simulate [FILE]
       quillon --tcc-check-screen

English and Russian layout correction, keyboard remaps, window snapping and
a clipboard history, from an icon in the system tray.

Modes:
  quillon                     run on the X11 display named by DISPLAY
  quillon --simulate [FILE]   run on a simulated desktop, driven by the script
                              in FILE or on standard input
  quillon --tcc-check-screen  print YES or NO: whether the screen may be
                              recorded
  An executable inside a web-app bundle runs that web app.

Options:
  -h, --help     print this help and exit
      --version  print the version and exit

Files:
  Settings live in $XDG_CONFIG_HOME/quillon/ (~/.config/quillon/ when
  XDG_CONFIG_HOME is unset). Launch at login is the entry
  $XDG_CONFIG_HOME/autostart/quillon.desktop.
  The log goes to standard error; started from the desktop, the session's
  log (the journal, or ~/.xsession-errors) keeps it.

On a Wayland session Quillon runs on XWayland and reaches only X11 windows.
See quillon(1) for more.
)";

bool isHelpOption(std::string_view argument) {
  return argument == "--help" || argument == "-h";
}
bool isVersionOption(std::string_view argument) {
  return argument == "--version";
}

std::string problemWith(std::string_view argument) {
  const bool looksLikeOption = argument.size() > 1 && argument.front() == '-';
  return std::string(programName) +
         (looksLikeOption ? ": unrecognized option '" : ": unexpected argument '") +
         std::string(argument) + "'";
}

// Tells the user, once the menu-bar product is up, that the session keeps
// Wayland-native windows out of its reach: otherwise every window feature
// there would just seem broken.
class WaylandNoticeDelegate final : public ApplicationDelegate {
public:
  WaylandNoticeDelegate(std::unique_ptr<AppDelegate> app, Platform& platform)
      : app_(std::move(app)), platform_(platform) {}

  void applicationDidFinishLaunching() override {
    app_->applicationDidFinishLaunching();
    platform_.log.write(WaylandLogLine);
    app_->hud().show(platform_.localization.localized(WaylandMessage));
  }

private:
  std::unique_ptr<AppDelegate> app_;
  Platform& platform_;
};

} // namespace

CommandLine parseCommandLine(std::span<const std::string> arguments) {
  const auto options = arguments.empty() ? arguments : arguments.subspan(1);
  if (options.empty()) {
    return {};
  }
  if (options.front() == SimulateArgument) {
    return {.request = CommandLineRequest::Simulate,
            .simulateArguments = {options.begin() + 1, options.end()}};
  }
  // As with most tools, asking for help wins over whatever else was typed.
  if (std::any_of(options.begin(), options.end(), isHelpOption)) {
    return {.request = CommandLineRequest::ShowHelp};
  }
  const auto unknown = std::find_if_not(options.begin(), options.end(), isVersionOption);
  if (unknown != options.end()) {
    return {.request = CommandLineRequest::Invalid, .problem = problemWith(*unknown)};
  }
  return {.request = CommandLineRequest::ShowVersion};
}

void printUsage(std::ostream& out) {
  out << usageText;
}

void printVersion(std::ostream& out) {
  out << programName << ' ' << QUILLON_VERSION << '\n';
}

std::optional<int> answerCommandLine(const CommandLine& commandLine, std::ostream& out,
                                     std::ostream& err) {
  switch (commandLine.request) {
  case CommandLineRequest::RunDesktop:
  case CommandLineRequest::Simulate:
    return std::nullopt;
  case CommandLineRequest::ShowHelp:
    printUsage(out);
    return 0;
  case CommandLineRequest::ShowVersion:
    printVersion(out);
    return 0;
  case CommandLineRequest::Invalid:
    err << commandLine.problem << '\n';
    printUsage(err);
    return UsageErrorStatus;
  }
  return UsageErrorStatus;
}

bool isScreenCaptureProbe(std::span<const std::string> arguments) {
  return std::find(arguments.begin(), arguments.end(), ScreenCaptureProbeArgument) !=
         arguments.end();
}

ProcessMode selectProcessMode(std::span<const std::string> arguments,
                              const std::optional<PropertyDictionary>& infoDictionary) {
  if (isScreenCaptureProbe(arguments)) {
    return ProcessMode::ScreenCaptureProbe;
  }
  if (infoDictionary) {
    const auto url = infoDictionary->find(WebAppDelegate::StartUrlKey);
    // Only a text value marks a web app; whether it is usable is the web
    // app's own concern.
    if (url != infoDictionary->end() && url->second.is<std::string>()) {
      return ProcessMode::WebApp;
    }
  }
  return ProcessMode::MenuBar;
}

ActivationPolicy activationPolicyFor(ProcessMode mode) {
  return mode == ProcessMode::WebApp ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
}

int runScreenCaptureProbe(const Permissions& permissions, std::ostream& out) {
  out << (permissions.screenCaptureAccess() ? "YES" : "NO") << '\n';
  out.flush();
  return 0;
}

std::unique_ptr<ApplicationDelegate> makeDelegate(ProcessMode mode, Platform& platform,
                                                  const SessionFacts& session) {
  if (mode == ProcessMode::WebApp) {
    return std::make_unique<WebAppDelegate>(platform);
  }
  auto app = std::make_unique<AppDelegate>(platform);
  if (session.wayland) {
    return std::make_unique<WaylandNoticeDelegate>(std::move(app), platform);
  }
  return app;
}

int runProcess(std::span<const std::string> arguments, Platform& platform, std::ostream& out,
               const SessionFacts& session) {
  // The probe answers before anything else is looked at or created.
  if (isScreenCaptureProbe(arguments)) {
    return runScreenCaptureProbe(platform.permissions, out);
  }
  const ProcessMode mode = selectProcessMode(arguments, platform.bundle.infoDictionary());
  const auto delegate = makeDelegate(mode, platform, session);
  platform.application.setActivationPolicy(activationPolicyFor(mode));
  platform.application.run(*delegate);
  return 0;
}

} // namespace quillon
