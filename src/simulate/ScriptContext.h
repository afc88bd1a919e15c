#pragma once

#include <functional>
#include <ostream>
#include <string_view>

namespace quillon {

class AppDelegate;
class SimDesktop;

// What a script command works with: the desktop it drives, the application
// running on it, and the one line it may print.
class ScriptContext {
public:
  ScriptContext(SimDesktop& desktop, AppDelegate& application, std::ostream& out,
                std::function<void()> settle)
      : desktop_(desktop), application_(application), out_(out), settle_(std::move(settle)) {}

  SimDesktop& desktop() { return desktop_; }
  AppDelegate& application() { return application_; }

  void print(std::string_view line) { out_ << line << '\n'; }
  void error(std::string_view message) { out_ << "error: " << message << '\n'; }
  // Runs what the main queue has due, as it would once the command returns.
  void settle() { settle_(); }

private:
  SimDesktop& desktop_;
  AppDelegate& application_;
  std::ostream& out_;
  std::function<void()> settle_;
};

} // namespace quillon
