#include "platform/sim/SimSystemTools.h"

#include "platform/sim/SimImages.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quillon {

namespace {

constexpr std::string_view probeArgument = "--tcc-check-screen";
constexpr std::string_view shellScriptPrefix = "do shell script \"";
constexpr std::string_view administratorSuffix = "\" with administrator privileges";

bool contains(const std::vector<std::string>& arguments, std::string_view wanted) {
  return std::find(arguments.begin(), arguments.end(), wanted) != arguments.end();
}

SimProcesses::ToolResult failure(int status, std::string message) {
  return {status, {}, std::move(message) + "\n", nullptr};
}

bool writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return bool(out);
}

std::vector<std::string> splitAtSpaces(std::string_view text) {
  std::vector<std::string> pieces;
  std::istringstream in{std::string(text)};
  std::string piece;
  while (in >> piece) {
    pieces.push_back(piece);
  }
  return pieces;
}

} // namespace

SimSystemTools::SimSystemTools(SimProcesses& processes, SimPower& power,
                               const SimPermissions& permissions,
                               const std::filesystem::path& ownExecutable)
    : processes_(processes), power_(power), permissions_(permissions) {
  processes_.registerTool(std::string(ScreenCapture),
                          [this](const auto& arguments) { return screenCapture(arguments); });
  processes_.registerTool(std::string(Pmset),
                          [this](const auto& arguments) { return pmset(arguments); });
  processes_.registerTool(std::string(Osascript),
                          [this](const auto& arguments) { return osascript(arguments); });
  // A fresh copy of the product asked whether screen recording is allowed
  // answers with what the system says now.
  processes_.registerTool(ownExecutable.string(), [this](const auto& arguments) {
    if (!contains(arguments, probeArgument)) {
      return SimProcesses::ToolResult{};
    }
    return SimProcesses::ToolResult{
        0, permissions_.screenCaptureAccess() ? "YES\n" : "NO\n", {}, nullptr};
  });
}

SimProcesses::ToolResult SimSystemTools::screenCapture(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments.back().empty() || arguments.back().front() == '-') {
    return failure(1, "screencapture: no file given");
  }
  const std::filesystem::path file = arguments.back();
  if (!contains(arguments, "-v")) {
    // The user drags a rectangle at once; cancelling is scripted.
    if (!writeFile(file, SimImages::makeJpeg(640, 400))) {
      return failure(1, "screencapture: cannot write " + file.string());
    }
    return {};
  }
  // Video mode records until it is told to stop, then finishes the movie.
  SimProcesses::ToolResult running;
  running.onInterrupt = [file] {
    if (!writeFile(file, {'f', 't', 'y', 'p', 'q', 't', ' ', ' ', 'm', 'o', 'o', 'v'})) {
      return failure(1, "screencapture: cannot write " + file.string());
    }
    return SimProcesses::ToolResult{};
  };
  return running;
}

std::string SimSystemTools::pmsetSettings() const {
  return std::string("System-wide power settings:\n") + " SleepDisabled\t\t" +
         (power_.sleepDisabled() ? "1" : "0") +
         "\n"
         "Currently in use:\n"
         " standby              1\n"
         " Sleep On Power Button 1\n"
         " hibernatefile        /var/vm/sleepimage\n"
         " powernap             1\n"
         " disksleep            10\n"
         " sleep                1\n"
         " displaysleep         10\n";
}

SimProcesses::ToolResult SimSystemTools::pmset(const std::vector<std::string>& arguments) {
  if (arguments == std::vector<std::string>{"-g"}) {
    return {0, pmsetSettings(), {}, nullptr};
  }
  if (arguments == std::vector<std::string>{"displaysleepnow"}) {
    power_.sleepDisplay();
    return {};
  }
  if (arguments.size() == 3 && arguments[0] == "-b" && arguments[1] == "disablesleep" &&
      (arguments[2] == "0" || arguments[2] == "1")) {
    power_.setSleepDisabled(arguments[2] == "1");
    return {};
  }
  return failure(1, "Usage: pmset <options>");
}

SimProcesses::ToolResult SimSystemTools::osascript(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2 || arguments[0] != "-e") {
    return failure(1, "osascript: expected -e SCRIPT");
  }
  const std::string_view script = arguments[1];
  if (!script.starts_with(shellScriptPrefix) || !script.ends_with(administratorSuffix)) {
    return failure(1, "0:0: syntax error: the simulated osascript runs only privileged shell "
                      "scripts (-2741)");
  }
  ++passwordPromptCount_;
  if (passwordAnswer_ == PasswordAnswer::Cancel) {
    return {1, {}, std::string(UserCanceledMessage), nullptr};
  }
  const std::string_view command =
      script.substr(shellScriptPrefix.size(),
                    script.size() - shellScriptPrefix.size() - administratorSuffix.size());
  std::vector<std::string> words = splitAtSpaces(command);
  if (words.empty()) {
    return {};
  }
  SpawnRequest request{words.front(), std::vector<std::string>(words.begin() + 1, words.end()),
                       true, true, nullptr};
  const SpawnResult started = processes_.spawn(request);
  if (!started.process) {
    return failure(1, "sh: " + words.front() + ": command not found");
  }
  const int status = started.process->waitForExit().value_or(1);
  return {status, started.process->capturedOutput(), started.process->capturedError(), nullptr};
}

} // namespace quillon
