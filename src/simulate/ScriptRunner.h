#pragma once

#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptContext.h"

#include <istream>
#include <ostream>
#include <string_view>

namespace quillon {

// Runs the menu-bar application on a simulated desktop, driven by a
// line-oriented script: one command a line, at most one printed line per
// command, every printed string a JSON string literal. The application
// launches right before the first command that is not a setup command, so a
// script can prepare the desktop the application starts on.
class ScriptRunner {
public:
  ScriptRunner(SimDesktop& desktop, std::ostream& out);

  // Runs every line of the script, then launches the application if no
  // command did.
  void run(std::istream& script);
  void runLine(std::string_view line);
  bool hasLaunched() const { return desktop_.application().hasLaunched(); }
  AppDelegate& application() { return application_; }

private:
  void launchIfNeeded();
  void settle();

  SimDesktop& desktop_;
  AppDelegate application_;
  ScriptContext context_;
  CommandTable commands_;
};

} // namespace quillon
