#include "simulate/KeyboardCommands.h"

#include "platform/sim/SimDesktop.h"
#include "simulate/Chord.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

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

void keys(ScriptContext& context, std::string_view arguments) {
  const std::size_t space = arguments.find(' ');
  if (space == std::string_view::npos || space == 0) {
    context.error("keys: expected LAYOUT TEXT");
    return;
  }
  if (const auto problem = context.desktop().typist().type(arguments.substr(0, space),
                                                           arguments.substr(space + 1))) {
    context.error("keys: " + *problem);
  }
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
  table.add("press", press);
  table.add("text", {.arguments = None, .run = text});
  table.add("clear", {.arguments = None, .run = clear});
  table.add("selectall", {.arguments = None, .run = selectAll});
}

} // namespace quillon
