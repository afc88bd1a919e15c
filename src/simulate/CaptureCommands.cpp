#include "simulate/CaptureCommands.h"

#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

#include <algorithm>
#include <system_error>

namespace quillon {

namespace {

// A tool's scripted standard output: the rest of the line with the escapes
// \n, \t and a doubled backslash decoded, so one line can script a
// multi-line answer.
std::string decodedEscapes(std::string_view text) {
  std::string decoded;
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] != '\\' || index + 1 == text.size()) {
      decoded += text[index];
      continue;
    }
    const char escaped = text[++index];
    decoded += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
  }
  return decoded;
}

bool isAbsoluteToolPath(std::string_view path) {
  return !path.empty() && path.front() == '/' && path.find_first_of(" \t") == std::string::npos;
}

void tool(ScriptContext& context, std::string_view arguments) {
  const std::string_view path = trimmed(arguments);
  if (!isAbsoluteToolPath(path)) {
    context.error("tool: expected an absolute PATH, not " + quotedArgument(path));
    return;
  }
  const auto last = context.desktop().processes().lastArguments(path);
  context.print(last ? toJson(nlohmann::json(*last)) : "null");
}

void toolResult(ScriptContext& context, std::string_view arguments) {
  const std::string_view text = trimmed(arguments);
  const std::size_t pathEnd = text.find(' ');
  const std::string_view path = text.substr(0, pathEnd);
  const std::string_view rest =
      pathEnd == std::string_view::npos ? std::string_view{} : text.substr(pathEnd + 1);
  const std::size_t statusEnd = rest.find(' ');
  const auto status = parseNumber<int>(rest.substr(0, statusEnd));
  if (!isAbsoluteToolPath(path) || !status || *status < 0 || *status > 255) {
    context.error("tool-result: expected PATH STATUS [STDOUT-TEXT] with an absolute PATH and a "
                  "status from 0 to 255");
    return;
  }
  SimProcesses& processes = context.desktop().processes();
  if (!processes.hasTool(path)) {
    context.error("tool-result: no tool at " + quotedArgument(path));
    return;
  }
  const std::string output = statusEnd == std::string_view::npos
                                 ? std::string()
                                 : decodedEscapes(rest.substr(statusEnd + 1));
  processes.scriptNextResult(std::string(path), {*status, output, {}, nullptr});
}

void files(ScriptContext& context, std::string_view arguments) {
  const std::string_view relative = trimmed(arguments);
  const auto home = context.desktop().directories().home();
  const auto folder = home ? pathInside(*home, relative) : std::nullopt;
  if (!folder) {
    context.error("files: expected a folder inside the home folder, not " +
                  quotedArgument(relative));
    return;
  }
  std::error_code error;
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator entry(*folder, error), end; !error && entry != end;
       entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  if (error) {
    context.error("files: cannot list " + quotedArgument(relative));
    return;
  }
  std::sort(names.begin(), names.end());
  context.print(toJson(nlohmann::json(names)));
}

void lid(ScriptContext& context, std::string_view arguments) {
  const std::string_view state = trimmed(arguments);
  if (state != "open" && state != "closed") {
    context.error("lid: expected open or closed");
    return;
  }
  context.desktop().power().setLidClosed(state == "closed");
}

void power(ScriptContext& context, std::string_view arguments) {
  const std::string_view source = trimmed(arguments);
  if (source != "ac" && source != "battery") {
    context.error("power: expected ac or battery");
    return;
  }
  context.desktop().power().setPowerSource(
      std::string(source == "ac" ? SimPower::AcPower : SimPower::BatteryPower));
}

void screenPermission(ScriptContext& context, std::string_view arguments) {
  const auto granted = parseBool(trimmed(arguments));
  if (!granted) {
    context.error("screen-permission: expected true or false");
    return;
  }
  context.desktop().permissions().setScreenCaptureAccess(*granted);
}

void microphone(ScriptContext& context, std::string_view arguments) {
  const std::string_view answer = trimmed(arguments);
  if (answer != "grant" && answer != "deny") {
    context.error("microphone: expected grant or deny");
    return;
  }
  context.desktop().audioRecorders().setAnswer(answer == "grant" ? SimAudioRecorders::Answer::Grant
                                                                 : SimAudioRecorders::Answer::Deny);
}

void password(ScriptContext& context, std::string_view arguments) {
  const std::string_view answer = trimmed(arguments);
  if (answer != "accept" && answer != "cancel") {
    context.error("password: expected accept or cancel");
    return;
  }
  context.desktop().systemTools().setPasswordAnswer(answer == "accept"
                                                        ? SimSystemTools::PasswordAnswer::Accept
                                                        : SimSystemTools::PasswordAnswer::Cancel);
}

} // namespace

void addCaptureCommands(CommandTable& table) {
  using enum ScriptCommand::Launch;
  table.add("tool", tool);
  table.add("tool-result", {.launch = NotNeeded, .run = toolResult});
  table.add("files", files);
  table.add("lid", {.launch = NotNeeded, .run = lid});
  table.add("power", {.launch = NotNeeded, .run = power});
  table.add("screen-permission", {.launch = NotNeeded, .run = screenPermission});
  table.add("microphone", {.launch = NotNeeded, .run = microphone});
  table.add("password", {.launch = NotNeeded, .run = password});
}

} // namespace quillon
