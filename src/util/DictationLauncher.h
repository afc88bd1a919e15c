#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

class Dictation;
class LiveServices;
class Log;
class MainQueue;
class Processes;
class Settings;

// Starts dictation for the user: with the command the user set, which wins
// on any desktop, else with the desktop's own dictation where it has one.
class DictationLauncher {
public:
  struct Dependencies {
    Dictation& dictation;
    Processes& processes;
    MainQueue& mainQueue;
    const Settings& settings;
    const LiveServices& liveServices;
    Log& log;
    // Where a command named without a path is looked for, as PATH lists it.
    std::string searchPath;
  };

  explicit DictationLauncher(Dependencies dependencies) : services_(std::move(dependencies)) {}

  // Absent when the trigger can start dictation; otherwise why not, fit to
  // show the user.
  std::optional<std::string> whyUnavailable() const;
  void trigger();
  // Once at launch, where the desktop's own dictation is what the trigger
  // starts.
  void prepare();

  // The program and its arguments as a shell splits a line (blanks, quotes
  // and backslashes), with no expansion of any kind; absent when a quote is
  // left open or there are no words.
  static std::optional<std::vector<std::string>> commandWords(std::string_view command);

private:
  void runCommand(const std::string& command);
  // The absolute path of a program; looked up on the search path the first
  // time a name is asked for and remembered, found or not.
  std::optional<std::string> resolve(const std::string& program);

  Dependencies services_;
  std::map<std::string, std::optional<std::string>, std::less<>> resolved_;
};

} // namespace quillon
