#include "simulate/KeyboardCommands.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimInputSources.h"
#include "simulate/Chord.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"
#include "text/Unicode.h"

#include <cmath>

namespace quillon {

namespace {

void layouts(ScriptContext& context, std::string_view arguments) {
  std::vector<std::string> identifiers;
  std::string_view rest = trimmed(arguments);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    identifiers.emplace_back(trimmed(rest.substr(0, comma)));
    if (identifiers.back().empty()) {
      context.error("layouts: empty identifier");
      return;
    }
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
  if (identifiers.empty()) {
    context.error("layouts: expected ID,ID,...");
    return;
  }
  // Named here, quoted, rather than by the desktop, which echoes what it is given as is.
  for (const std::string& identifier : identifiers) {
    if (!SimInputSources::describeKnownLayout(identifier)) {
      context.error("layouts: unknown keyboard layout " + quotedArgument(identifier));
      return;
    }
  }
  std::string problem;
  if (!context.desktop().inputSources().setEnabledLayouts(identifiers, &problem)) {
    context.error("layouts: " + problem);
  }
}

void source(ScriptContext& context, std::string_view) {
  const auto identifier = context.desktop().inputSources().currentKeyboardSourceIdentifier();
  context.print(identifier ? toJson(*identifier) : "null");
}

void select(ScriptContext& context, std::string_view arguments) {
  const std::string identifier(trimmed(arguments));
  if (!context.desktop().inputSources().select(identifier)) {
    context.error("select: no selectable source " + quotedArgument(identifier));
  }
}

// Why the typist would refuse to type `text` in `layoutName`, with every echoed argument
// quoted: the typist's own answers carry them as they came.
std::optional<std::string> typingProblem(SimDesktop& desktop, std::string_view layoutName,
                                         std::string_view text) {
  const XkbLayout* layout = desktop.layouts().layout(layoutName);
  if (layout == nullptr) {
    return "unknown layout " + quotedArgument(layoutName);
  }
  const auto characters = decodeUtf8(text);
  if (!characters) {
    return "text is not valid UTF-8";
  }
  for (const char32_t character : *characters) {
    if (!layout->strokeFor(character)) {
      return "no key of " + quotedArgument(layoutName) + " types " +
             quotedArgument(encodeUtf8(character));
    }
  }
  return std::nullopt;
}

void keys(ScriptContext& context, std::string_view arguments) {
  const std::size_t space = arguments.find(' ');
  if (space == std::string_view::npos || space == 0) {
    context.error("keys: expected LAYOUT TEXT");
    return;
  }
  const std::string_view layoutName = arguments.substr(0, space);
  const std::string_view text = arguments.substr(space + 1);
  if (const auto problem = typingProblem(context.desktop(), layoutName, text)) {
    context.error("keys: " + *problem);
    return;
  }
  if (const auto problem = context.desktop().typist().type(layoutName, text)) {
    context.error("keys: " + *problem);
  }
}

// Quicker than any hand, and a typo for a pause more likely than not.
constexpr double maximumTypingIntervalSeconds = 10;

void typingInterval(ScriptContext& context, std::string_view arguments) {
  const auto seconds = parseNumber<double>(trimmed(arguments));
  if (!seconds || !std::isfinite(*seconds) || *seconds < 0 ||
      *seconds > maximumTypingIntervalSeconds) {
    context.error("typing-interval: expected a number of seconds from 0 to 10");
    return;
  }
  context.desktop().typist().setInterKeyDelay(Duration(*seconds));
}

void press(ScriptContext& context, std::string_view arguments) {
  std::string problem;
  const auto chord = parseChord(trimmed(arguments), &problem);
  if (!chord) {
    context.error("press: " + problem);
    return;
  }
  SimKeyboard& keyboard = context.desktop().keyboard();
  for (const KeyCode modifier : chord->modifiers) {
    keyboard.keyDown(modifier);
  }
  if (chord->key) {
    keyboard.tap(*chord->key);
  }
  for (auto modifier = chord->modifiers.rbegin(); modifier != chord->modifiers.rend(); ++modifier) {
    keyboard.keyUp(*modifier);
  }
}

void text(ScriptContext& context, std::string_view) {
  context.print(toJson(context.desktop().textField().text()));
}

void clear(ScriptContext& context, std::string_view) {
  context.desktop().textField().clear();
}

void selectAll(ScriptContext& context, std::string_view) {
  context.desktop().textField().selectAll();
}

} // namespace

void addKeyboardCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  using enum ScriptCommand::Launch;
  table.add("layouts", {.launch = NotNeeded, .run = layouts});
  table.add("source", {.arguments = None, .run = source});
  table.add("select", select);
  table.add("keys", keys);
  table.add("typing-interval", {.launch = NotNeeded, .run = typingInterval});
  table.add("press", press);
  table.add("text", {.arguments = None, .run = text});
  table.add("clear", {.arguments = None, .run = clear});
  table.add("selectall", {.arguments = None, .run = selectAll});
}

} // namespace quillon
