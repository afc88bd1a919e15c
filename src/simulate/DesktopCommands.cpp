#include "simulate/DesktopCommands.h"

#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Longer waits are almost certainly a typo in a script.
constexpr double maximumWaitSeconds = 24 * 60 * 60;

std::string_view typeName(EventType type) {
  switch (type) {
  case EventType::KeyDown:
    return "keyDown";
  case EventType::KeyUp:
    return "keyUp";
  case EventType::FlagsChanged:
    return "flagsChanged";
  case EventType::LeftMouseDown:
    return "leftMouseDown";
  case EventType::LeftMouseUp:
    return "leftMouseUp";
  case EventType::ScrollWheel:
    return "scrollWheel";
  default:
    return "other";
  }
}

void wait(ScriptContext& context, std::string_view arguments) {
  const auto seconds = parseNumber<double>(trimmed(arguments));
  if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > maximumWaitSeconds) {
    context.error("wait: expected a number of seconds from 0 to 86400");
    return;
  }
  const VirtualClock& clock = context.desktop().clock();
  const bool timeWasLeft = !clock.hasReachedLatest();
  context.desktop().advance(Duration(*seconds));
  if (timeWasLeft && clock.hasReachedLatest()) {
    context.error("wait: virtual time has reached its latest value and stands still");
  }
}

void trust(ScriptContext& context, std::string_view arguments) {
  const auto value = parseBool(trimmed(arguments));
  if (!value) {
    context.error("trust: expected true or false");
    return;
  }
  context.desktop().accessibility().setTrusted(*value);
}

void log(ScriptContext& context, std::string_view) {
  context.print(toJson(nlohmann::json(context.desktop().log().takeNewLines())));
}

void clipboard(ScriptContext& context, std::string_view) {
  const auto text = context.desktop().pasteboard().string();
  context.print(text ? toJson(*text) : "null");
}

void events(ScriptContext& context, std::string_view) {
  nlohmann::json list = nlohmann::json::array();
  for (const DeliveredEvent& event : context.desktop().textField().takeDeliveredEvents()) {
    nlohmann::json entry = {{"type", typeName(event.type)},
                            {"keyCode", event.keyCode},
                            {"flags", event.flags},
                            {"marked", event.marked}};
    if (!event.characters.empty()) {
      entry["characters"] = event.characters;
    }
    list.push_back(std::move(entry));
  }
  context.print(toJson(list));
}

void scroll(ScriptContext& context, std::string_view arguments) {
  auto parts = words(arguments);
  const bool continuous = !parts.empty() && parts.back() == "continuous";
  if (continuous) {
    parts.pop_back();
  }
  const auto deltaY = parts.empty() ? std::nullopt : parseNumber<std::int64_t>(parts[0]);
  const auto deltaX =
      parts.size() < 2 ? std::optional<std::int64_t>(0) : parseNumber<std::int64_t>(parts[1]);
  if (!deltaY || !deltaX || parts.size() > 2) {
    context.error("scroll: expected DY [DX] [continuous] with whole numbers");
    return;
  }
  SimTextField& field = context.desktop().textField();
  const std::size_t before = field.deliveredCount();
  context.desktop().mouse().scroll(*deltaY, *deltaX, continuous);
  const auto& unread = field.deliveredEvents();
  const std::size_t fresh = std::min(field.deliveredCount() - before, unread.size());
  for (std::size_t index = unread.size() - fresh; index < unread.size(); ++index) {
    if (const auto& deltas = unread.at(index).scroll) {
      context.print(toJson({{"axis1", deltas->axis1},
                            {"axis2", deltas->axis2},
                            {"fixedPtAxis1", deltas->fixedPtAxis1},
                            {"fixedPtAxis2", deltas->fixedPtAxis2},
                            {"pointAxis1", deltas->pointAxis1},
                            {"pointAxis2", deltas->pointAxis2},
                            {"continuous", deltas->continuous}}));
      return;
    }
  }
  context.print("null");
}

void click(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  const auto x = parts.size() == 2 ? parseNumber<double>(parts[0]) : std::nullopt;
  const auto y = parts.size() == 2 ? parseNumber<double>(parts[1]) : std::nullopt;
  if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y)) {
    context.error("click: expected X Y");
    return;
  }
  context.desktop().mouse().click({*x, *y});
}

void frontmost(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  if (parts.empty() || parts.size() > 3) {
    context.error("frontmost: expected BUNDLE_ID [BUNDLE_PATH [EXECUTABLE_PATH]]");
    return;
  }
  auto optionalPart = [&parts](std::size_t index) -> std::optional<std::string> {
    return index < parts.size() ? std::optional<std::string>(parts[index]) : std::nullopt;
  };
  context.desktop().bringToFront(std::string(parts[0]), optionalPart(1), optionalPart(2));
}

void nextWindow(ScriptContext& context, std::string_view) {
  if (!context.desktop().focusNextWindow()) {
    context.error("next-window: the frontmost application has no window");
  }
}

void sounds(ScriptContext& context, std::string_view) {
  context.print(toJson(nlohmann::json(context.desktop().sound().takePlayed())));
}

} // namespace

void addDesktopCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  using enum ScriptCommand::Launch;
  table.add("wait", wait);
  table.add("next-window", {.arguments = None, .run = nextWindow});
  table.add("trust", {.launch = NotNeeded, .run = trust});
  table.add("log", {.arguments = None, .run = log});
  table.add("clipboard", {.arguments = None, .run = clipboard});
  table.add("events", {.arguments = None, .run = events});
  table.add("scroll", scroll);
  table.add("click", click);
  table.add("frontmost", frontmost);
  table.add("sounds", {.arguments = None, .run = sounds});
}

} // namespace quillon
