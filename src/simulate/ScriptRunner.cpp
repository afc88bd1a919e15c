#include "simulate/ScriptRunner.h"

#include "app/EntryPoint.h"
#include "simulate/CaptureCommands.h"
#include "simulate/DesktopCommands.h"
#include "simulate/FinderCommands.h"
#include "simulate/KeyboardCommands.h"
#include "simulate/ScriptSyntax.h"
#include "simulate/ShellCommands.h"
#include "simulate/UtilityCommands.h"
#include "simulate/WebAppCommands.h"
#include "simulate/WindowCommands.h"

namespace quillon {

ScriptRunner::ScriptRunner(SimDesktop& desktop, std::ostream& out)
    : desktop_(desktop), application_(desktop.platform()),
      context_(desktop, application_, out, [this] { settle(); }) {
  addDesktopCommands(commands_);
  addKeyboardCommands(commands_);
  addShellCommands(commands_);
  addCaptureCommands(commands_);
  addWindowCommands(commands_);
  addUtilityCommands(commands_);
  addFinderCommands(commands_);
  addWebAppCommands(commands_);
}

void ScriptRunner::run(std::istream& script) {
  std::string line;
  // A quit or restart ends the process: the rest of the script has no
  // application left to drive.
  while (!desktop_.application().isTerminated() && std::getline(script, line)) {
    runLine(line);
  }
  launchIfNeeded();
  settle();
}

void ScriptRunner::runLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  const std::string_view content = trimmed(line);
  if (content.empty() || content.front() == '#') {
    return;
  }
  // Arguments keep everything after the first space, trailing spaces
  // included: `keys us word ` types the final space.
  const std::size_t nameStart = line.find_first_not_of(" \t");
  const std::size_t nameEnd = line.find_first_of(" \t", nameStart);
  const std::string_view name = line.substr(nameStart, nameEnd - nameStart);
  const std::string_view arguments =
      nameEnd == std::string_view::npos ? std::string_view{} : line.substr(nameEnd + 1);

  const ScriptCommand* command = commands_.find(name);
  if (command == nullptr) {
    context_.error("unknown command " + quotedArgument(name));
    return;
  }
  if (command->arguments == ScriptCommand::Arguments::None && !trimmed(arguments).empty()) {
    context_.error(std::string(name) + " takes no arguments");
    return;
  }
  if (command->launch == ScriptCommand::Launch::First) {
    launchIfNeeded();
  }
  command->run(context_, arguments);
  settle();
}

void ScriptRunner::launchIfNeeded() {
  if (hasLaunched()) {
    return;
  }
  desktop_.application().setActivationPolicy(activationPolicyFor(ProcessMode::MenuBar));
  desktop_.application().run(application_);
}

// What the main queue would do at once after the command: run what is due.
void ScriptRunner::settle() {
  desktop_.runUntilIdle();
}

} // namespace quillon
