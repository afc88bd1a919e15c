#include "util/DictationLauncher.h"

#include "core/Settings.h"
#include "platform/Dictation.h"
#include "platform/LiveServices.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Processes.h"

#include <filesystem>
#include <system_error>

namespace quillon {

namespace {

constexpr std::string_view setCommandAdvice = "; set dictationCommand to a speech-to-text command";

bool isBlank(char character) {
  return character == ' ' || character == '\t' || character == '\n';
}

bool isExecutableFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  using std::filesystem::perms;
  return !error && std::filesystem::is_regular_file(status) &&
         (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) !=
             perms::none;
}

// Only the program's own name reaches the log: its arguments are the user's
// and may say anything.
std::string programName(const std::string& program) {
  return std::filesystem::path(program).filename().string();
}

} // namespace

std::optional<std::vector<std::string>> DictationLauncher::commandWords(std::string_view command) {
  std::vector<std::string> words;
  std::optional<std::string> word;
  char quote = '\0';
  for (std::size_t index = 0; index < command.size(); ++index) {
    const char character = command[index];
    if (quote == '\'') {
      if (character == '\'') {
        quote = '\0';
      } else {
        *word += character;
      }
      continue;
    }
    if (quote == '"') {
      if (character == '"') {
        quote = '\0';
      } else if (character == '\\' && index + 1 < command.size() &&
                 (command[index + 1] == '"' || command[index + 1] == '\\')) {
        *word += command[++index];
      } else {
        *word += character;
      }
      continue;
    }
    if (isBlank(character)) {
      if (word) {
        words.push_back(std::move(*word));
        word.reset();
      }
      continue;
    }
    if (!word) {
      word.emplace();
    }
    if (character == '\'' || character == '"') {
      quote = character;
    } else if (character == '\\' && index + 1 < command.size()) {
      *word += command[++index];
    } else {
      *word += character;
    }
  }
  if (quote != '\0') {
    return std::nullopt;
  }
  if (word) {
    words.push_back(std::move(*word));
  }
  if (words.empty()) {
    return std::nullopt;
  }
  return words;
}

std::optional<std::string> DictationLauncher::whyUnavailable() const {
  if (services_.settings.dictationCommand()) {
    return std::nullopt;
  }
  const auto reason = services_.liveServices.whyNotLive(Capability::dictation);
  if (!reason) {
    return std::nullopt;
  }
  return *reason + std::string(setCommandAdvice);
}

void DictationLauncher::prepare() {
  if (services_.settings.dictationCommand()) {
    return;
  }
  if (services_.liveServices.isLive(Capability::dictation) &&
      services_.liveServices.isLive(Capability::systemSettings)) {
    services_.dictation.prepare();
  }
}

void DictationLauncher::trigger() {
  Log& log = services_.log;
  log.write("Quillon dictation: trigger requested");
  if (const auto command = services_.settings.dictationCommand()) {
    runCommand(*command);
    return;
  }
  if (const auto reason = whyUnavailable()) {
    log.write("Quillon dictation: nothing started: " + *reason);
    return;
  }
  services_.dictation.start();
}

std::optional<std::string> DictationLauncher::resolve(const std::string& program) {
  if (program.starts_with('/')) {
    return isExecutableFile(program) ? std::optional(program) : std::nullopt;
  }
  // A relative path means nothing to a program started from anywhere.
  if (program.find('/') != std::string::npos) {
    return std::nullopt;
  }
  if (const auto known = resolved_.find(program); known != resolved_.end()) {
    return known->second;
  }
  std::optional<std::string> found;
  std::string_view folders = services_.searchPath;
  while (!found && !folders.empty()) {
    const auto end = folders.find(':');
    const std::string_view folder = folders.substr(0, end);
    folders = end == std::string_view::npos ? std::string_view{} : folders.substr(end + 1);
    if (!folder.starts_with('/')) {
      continue;
    }
    const std::filesystem::path candidate = std::filesystem::path(folder) / program;
    if (isExecutableFile(candidate)) {
      found = candidate.string();
    }
  }
  resolved_.emplace(program, found);
  return found;
}

void DictationLauncher::runCommand(const std::string& command) {
  Log& log = services_.log;
  auto words = commandWords(command);
  if (!words) {
    log.write("Quillon dictation: dictationCommand has a quote left open; nothing run");
    return;
  }
  const std::string name = programName(words->front());
  const auto executable = resolve(words->front());
  if (!executable) {
    log.write("Quillon dictation: dictationCommand names " + name +
              ", which is no executable program (give its absolute path or put it on PATH)");
    return;
  }
  SpawnRequest request{*executable, std::vector<std::string>(words->begin() + 1, words->end())};
  // Only platform services are held: the tool may outlive this object.
  request.terminationHandler = [&mainQueue = services_.mainQueue, &log,
                                name](std::optional<int> status) {
    if (status == 0) {
      return;
    }
    mainQueue.async([&log, name, status] {
      log.write("Quillon dictation: " + name + " ended " +
                (status ? "with status " + std::to_string(*status) : std::string("by a signal")));
    });
  };
  const SpawnResult started = services_.processes.spawn(request);
  if (!started.process) {
    log.write("Quillon dictation: could not start " + name + ": " + started.error);
    return;
  }
  log.write("Quillon dictation: started " + name);
}

} // namespace quillon
