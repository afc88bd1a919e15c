#include "platform/sim/SimAppleScript.h"

#include <algorithm>
#include <system_error>

namespace quillon {

namespace {

constexpr std::string_view shellScriptPrefix = "do shell script ";
constexpr std::string_view privilegesWithPrompt = " with administrator privileges with prompt ";
constexpr int syntaxErrorNumber = -2741;
constexpr int userCanceledNumber = -128;

AppleScriptOutcome syntaxError(std::string message) {
  return {true, AppleScriptError{syntaxErrorNumber, std::move(message)}};
}

} // namespace

std::optional<std::string> SimAppleScript::readStringLiteral(std::string_view& text) {
  if (text.empty() || text.front() != '"') {
    return std::nullopt;
  }
  std::string value;
  for (std::size_t index = 1; index < text.size(); ++index) {
    const char character = text[index];
    if (character == '"') {
      text.remove_prefix(index + 1);
      return value;
    }
    if (character != '\\') {
      value.push_back(character);
      continue;
    }
    if (++index == text.size()) {
      return std::nullopt;
    }
    switch (text[index]) {
    case '\\':
    case '"':
      value.push_back(text[index]);
      break;
    case 'n':
      value.push_back('\n');
      break;
    case 't':
      value.push_back('\t');
      break;
    case 'r':
      value.push_back('\r');
      break;
    default:
      // AppleScript refuses to compile any other escape.
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> SimAppleScript::shellWords(std::string_view command) {
  std::vector<std::string> words;
  std::optional<std::string> word;
  for (std::size_t index = 0; index < command.size(); ++index) {
    const char character = command[index];
    if (character == ' ' || character == '\t') {
      if (word) {
        words.push_back(std::move(*word));
        word.reset();
      }
    } else if (character == '\'') {
      const auto close = command.find('\'', index + 1);
      if (close == std::string_view::npos) {
        return std::nullopt;
      }
      word = word.value_or("") + std::string(command.substr(index + 1, close - index - 1));
      index = close;
    } else if (character == '\\') {
      if (++index == command.size()) {
        return std::nullopt;
      }
      word = word.value_or("") + command[index];
    } else if (character == '"' || character == '$' || character == '`' || character == ';' ||
               character == '|' || character == '<' || character == '>' || character == '\n') {
      // Anything the product never writes unquoted is refused, not guessed at.
      return std::nullopt;
    } else {
      word = word.value_or("") + character;
    }
  }
  if (word) {
    words.push_back(std::move(*word));
  }
  return words;
}

AppleScriptOutcome SimAppleScript::execute(std::string_view source) {
  std::string_view rest = source;
  if (!rest.starts_with(shellScriptPrefix)) {
    return syntaxError("the simulated AppleScript runs only privileged shell scripts");
  }
  rest.remove_prefix(shellScriptPrefix.size());
  const auto command = readStringLiteral(rest);
  if (!command || !rest.starts_with(privilegesWithPrompt)) {
    return syntaxError("Expected end of line but found unknown token.");
  }
  rest.remove_prefix(privilegesWithPrompt.size());
  const auto prompt = readStringLiteral(rest);
  if (!prompt || !rest.empty()) {
    return syntaxError("Expected end of line but found unknown token.");
  }
  prompts_.push_back(*prompt);
  journal_.record("administrator prompt " + *prompt);
  const AdminAnswer answer = nextAnswer_.value_or(AdminAnswer::Allow);
  nextAnswer_.reset();
  if (answer == AdminAnswer::Deny) {
    return {true, AppleScriptError{userCanceledNumber, "User canceled."}};
  }
  const auto words = shellWords(*command);
  if (!words) {
    return {true, AppleScriptError{2, "sh: syntax error"}};
  }
  commands_.push_back(*words);
  if (auto error = runShell(*words)) {
    return {true, std::move(error)};
  }
  return {};
}

bool SimAppleScript::isInsideRoot(const std::filesystem::path& path) const {
  const std::filesystem::path normal = path.lexically_normal();
  return path.is_absolute() &&
         std::any_of(roots_.begin(), roots_.end(), [&](const std::filesystem::path& root) {
           const auto relative = normal.lexically_relative(root);
           return !relative.empty() && *relative.begin() != ".." && relative != ".";
         });
}

std::optional<AppleScriptError> SimAppleScript::runShell(const std::vector<std::string>& words) {
  const bool isReplaceCopy = words.size() == 8 && words[0] == "rm" && words[1] == "-rf" &&
                             words[3] == "&&" && words[4] == "cp" && words[5] == "-R" &&
                             words[2] == words[7];
  if (!isReplaceCopy) {
    return AppleScriptError{127, "sh: the simulated shell only replaces a folder by a copy"};
  }
  const std::filesystem::path source = words[6];
  const std::filesystem::path destination = words[7];
  if (!isInsideRoot(source) || !isInsideRoot(destination)) {
    return AppleScriptError{1, "Operation not permitted"};
  }
  std::error_code error;
  std::filesystem::remove_all(destination, error);
  std::filesystem::create_directories(destination.parent_path(), error);
  std::filesystem::copy(source, destination, std::filesystem::copy_options::recursive, error);
  if (error) {
    return AppleScriptError{1, "cp: " + error.message()};
  }
  return std::nullopt;
}

} // namespace quillon
