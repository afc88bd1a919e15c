#pragma once

#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace quillon {

// Runs the menu-bar application on a simulated desktop, driven by a
// line-oriented script: one command a line, at most one printed line per
// command, every printed string a JSON string literal. The application
// launches right before the first command that is not `layouts`, `trust` or
// `set`, so a script can prepare the desktop the application starts on.
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
  using Command = std::function<void(std::string_view arguments)>;

  void registerCommands();
  void launchIfNeeded();
  void error(std::string_view message);

  void layouts(std::string_view arguments);
  void source(std::string_view arguments);
  void select(std::string_view arguments);
  void keys(std::string_view arguments);
  void press(std::string_view arguments);
  void wait(std::string_view arguments);
  void text(std::string_view arguments);
  void clear(std::string_view arguments);
  void set(std::string_view arguments);
  void get(std::string_view arguments);
  void trust(std::string_view arguments);
  void log(std::string_view arguments);
  void clipboard(std::string_view arguments);
  void events(std::string_view arguments);
  void scroll(std::string_view arguments);
  void click(std::string_view arguments);
  void frontmost(std::string_view arguments);
  void sounds(std::string_view arguments);
  void hud(std::string_view arguments);
  void menu(std::string_view arguments);
  void choose(std::string_view arguments);
  void statusClick(std::string_view arguments);
  void statusItem(std::string_view arguments);
  void selectAll(std::string_view arguments);

  void settle();

  SimDesktop& desktop_;
  std::ostream& out_;
  AppDelegate application_;
  std::map<std::string, Command, std::less<>> commands_;
};

} // namespace quillon
