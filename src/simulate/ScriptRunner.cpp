#include "simulate/ScriptRunner.h"

#include "app/EntryPoint.h"
#include "app/MenuCommand.h"
#include "simulate/Chord.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace quillon {

namespace {

// Longer waits are almost certainly a typo in a script.
constexpr double maximumWaitSeconds = 24 * 60 * 60;

std::string toJson(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// For objects whose keys should print in the order they were added.
std::string toOrderedJson(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t start = text.find_first_not_of(" \t");
  while (start != std::string_view::npos) {
    const std::size_t end = text.find_first_of(" \t", start);
    result.push_back(text.substr(start, end - start));
    start = end == std::string_view::npos ? end : text.find_first_not_of(" \t", end);
  }
  return result;
}

template <typename Number> std::optional<Number> parseNumber(std::string_view text) {
  Number value{};
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> parseBool(std::string_view text) {
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  return std::nullopt;
}

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

// Titles of a menu path: "Snap window > Left half". The separator has spaces
// around it because titles themselves contain ">" and "/".
constexpr std::string_view menuPathSeparator = " > ";

std::vector<std::string> menuPath(std::string_view text) {
  std::vector<std::string> titles;
  while (true) {
    const std::size_t separator = text.find(menuPathSeparator);
    titles.emplace_back(trimmed(text.substr(0, separator)));
    if (separator == std::string_view::npos) {
      return titles;
    }
    text.remove_prefix(separator + menuPathSeparator.size());
  }
}

// Keys in a fixed order, title first, so a long menu line stays readable.
nlohmann::ordered_json menuJson(const std::vector<MenuItem>& items) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MenuItem& item : items) {
    if (item.separator) {
      list.push_back({{"separator", true}});
      continue;
    }
    nlohmann::ordered_json entry = {{"title", item.title}};
    if (item.tag) {
      const auto command = menuCommandForTag(*item.tag);
      entry["action"] =
          command ? std::string(menuCommandName(*command)) : std::to_string(*item.tag);
    }
    entry["enabled"] = item.enabled;
    entry["checked"] = item.checked;
    if (!item.keyEquivalent.empty()) {
      entry["key"] = item.keyEquivalent;
      entry["modifiers"] = item.keyEquivalentModifierMask;
    }
    if (!item.submenu.empty()) {
      entry["submenu"] = menuJson(item.submenu);
    }
    list.push_back(std::move(entry));
  }
  return list;
}

std::string_view colorName(NamedColor color) {
  switch (color) {
  case NamedColor::Label:
    return "label";
  case NamedColor::SystemRed:
    return "systemRed";
  }
  return "other";
}

} // namespace

ScriptRunner::ScriptRunner(SimDesktop& desktop, std::ostream& out)
    : desktop_(desktop), out_(out), application_(desktop.platform()) {
  registerCommands();
}

void ScriptRunner::registerCommands() {
  auto bind = [this](void (ScriptRunner::*member)(std::string_view)) {
    return [this, member](std::string_view arguments) { (this->*member)(arguments); };
  };
  commands_ = {
      {"layouts", bind(&ScriptRunner::layouts)},
      {"source", bind(&ScriptRunner::source)},
      {"select", bind(&ScriptRunner::select)},
      {"keys", bind(&ScriptRunner::keys)},
      {"press", bind(&ScriptRunner::press)},
      {"wait", bind(&ScriptRunner::wait)},
      {"text", bind(&ScriptRunner::text)},
      {"clear", bind(&ScriptRunner::clear)},
      {"set", bind(&ScriptRunner::set)},
      {"get", bind(&ScriptRunner::get)},
      {"trust", bind(&ScriptRunner::trust)},
      {"log", bind(&ScriptRunner::log)},
      {"clipboard", bind(&ScriptRunner::clipboard)},
      {"events", bind(&ScriptRunner::events)},
      {"scroll", bind(&ScriptRunner::scroll)},
      {"click", bind(&ScriptRunner::click)},
      {"frontmost", bind(&ScriptRunner::frontmost)},
      {"sounds", bind(&ScriptRunner::sounds)},
      {"hud", bind(&ScriptRunner::hud)},
      {"menu", bind(&ScriptRunner::menu)},
      {"choose", bind(&ScriptRunner::choose)},
      {"status-click", bind(&ScriptRunner::statusClick)},
      {"status-item", bind(&ScriptRunner::statusItem)},
      {"selectall", bind(&ScriptRunner::selectAll)},
  };
}

void ScriptRunner::run(std::istream& script) {
  std::string line;
  // A quit or restart ends the process: the rest of the script has no
  // application left to drive.
  while (!desktop_.application().isTerminated() && std::getline(script, line)) {
    runLine(line);
  }
  launchIfNeeded();
  settle();
}

void ScriptRunner::runLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  const std::string_view content = trimmed(line);
  if (content.empty() || content.front() == '#') {
    return;
  }
  // Arguments keep everything after the first space, trailing spaces
  // included: `keys us word ` types the final space.
  const std::size_t nameStart = line.find_first_not_of(" \t");
  const std::size_t nameEnd = line.find_first_of(" \t", nameStart);
  const std::string_view name = line.substr(nameStart, nameEnd - nameStart);
  const std::string_view arguments =
      nameEnd == std::string_view::npos ? std::string_view{} : line.substr(nameEnd + 1);

  const auto command = commands_.find(name);
  if (command == commands_.end()) {
    error("unknown command " + toJson(std::string(name)));
    return;
  }
  static constexpr std::array<std::string_view, 10> commandsWithoutArguments{
      "source", "text",   "clear", "log",         "clipboard",
      "events", "sounds", "hud",   "status-item", "selectall"};
  if (std::find(commandsWithoutArguments.begin(), commandsWithoutArguments.end(), name) !=
          commandsWithoutArguments.end() &&
      !trimmed(arguments).empty()) {
    error(std::string(name) + " takes no arguments");
    return;
  }
  static constexpr std::array<std::string_view, 3> setupCommands{"layouts", "trust", "set"};
  if (std::find(setupCommands.begin(), setupCommands.end(), name) == setupCommands.end()) {
    launchIfNeeded();
  }
  command->second(arguments);
  settle();
}

void ScriptRunner::launchIfNeeded() {
  if (hasLaunched()) {
    return;
  }
  desktop_.application().setActivationPolicy(activationPolicyFor(ProcessMode::MenuBar));
  desktop_.application().run(application_);
}

// What the main queue would do at once after the command: run what is due.
void ScriptRunner::settle() {
  desktop_.runUntilIdle();
}

void ScriptRunner::error(std::string_view message) {
  out_ << "error: " << message << '\n';
}

void ScriptRunner::layouts(std::string_view arguments) {
  std::vector<std::string> identifiers;
  std::string_view rest = trimmed(arguments);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    identifiers.emplace_back(trimmed(rest.substr(0, comma)));
    if (identifiers.back().empty()) {
      error("layouts: empty identifier");
      return;
    }
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
  if (identifiers.empty()) {
    error("layouts: expected ID,ID,...");
    return;
  }
  std::string problem;
  if (!desktop_.inputSources().setEnabledLayouts(identifiers, &problem)) {
    error("layouts: " + problem);
  }
}

void ScriptRunner::source(std::string_view) {
  const auto identifier = desktop_.inputSources().currentKeyboardSourceIdentifier();
  out_ << (identifier ? toJson(*identifier) : "null") << '\n';
}

void ScriptRunner::select(std::string_view arguments) {
  const std::string identifier(trimmed(arguments));
  if (!desktop_.inputSources().select(identifier)) {
    error("select: no selectable source " + toJson(identifier));
  }
}

void ScriptRunner::keys(std::string_view arguments) {
  const std::size_t space = arguments.find(' ');
  if (space == std::string_view::npos || space == 0) {
    error("keys: expected LAYOUT TEXT");
    return;
  }
  if (const auto problem =
          desktop_.typist().type(arguments.substr(0, space), arguments.substr(space + 1))) {
    error("keys: " + *problem);
  }
}

void ScriptRunner::press(std::string_view arguments) {
  std::string problem;
  const auto chord = parseChord(trimmed(arguments), &problem);
  if (!chord) {
    error("press: " + problem);
    return;
  }
  SimKeyboard& keyboard = desktop_.keyboard();
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

void ScriptRunner::wait(std::string_view arguments) {
  const auto seconds = parseNumber<double>(trimmed(arguments));
  if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > maximumWaitSeconds) {
    error("wait: expected a number of seconds from 0 to 86400");
    return;
  }
  desktop_.advance(Duration(*seconds));
}

void ScriptRunner::text(std::string_view) {
  out_ << toJson(desktop_.textField().text()) << '\n';
}

void ScriptRunner::clear(std::string_view) {
  desktop_.textField().clear();
}

void ScriptRunner::set(std::string_view arguments) {
  const std::string_view text = trimmed(arguments);
  const std::size_t space = text.find(' ');
  const auto key = Settings::keyNamed(text.substr(0, space));
  const auto value =
      space == std::string_view::npos ? std::nullopt : parseBool(trimmed(text.substr(space + 1)));
  if (!key || !value) {
    error("set: expected KEY true|false with a known key");
    return;
  }
  application_.settings().set(*value, *key);
}

void ScriptRunner::get(std::string_view arguments) {
  const auto key = Settings::keyNamed(trimmed(arguments));
  if (!key) {
    error("get: unknown key " + toJson(std::string(trimmed(arguments))));
    return;
  }
  out_ << (application_.settings().value(*key) ? "true" : "false") << '\n';
}

void ScriptRunner::trust(std::string_view arguments) {
  const auto value = parseBool(trimmed(arguments));
  if (!value) {
    error("trust: expected true or false");
    return;
  }
  desktop_.accessibility().setTrusted(*value);
}

void ScriptRunner::log(std::string_view) {
  out_ << toJson(nlohmann::json(desktop_.log().takeNewLines())) << '\n';
}

void ScriptRunner::clipboard(std::string_view) {
  const auto text = desktop_.pasteboard().string();
  out_ << (text ? toJson(*text) : "null") << '\n';
}

void ScriptRunner::events(std::string_view) {
  nlohmann::json list = nlohmann::json::array();
  for (const DeliveredEvent& event : desktop_.textField().takeDeliveredEvents()) {
    nlohmann::json entry = {{"type", typeName(event.type)},
                            {"keyCode", event.keyCode},
                            {"flags", event.flags},
                            {"marked", event.marked}};
    if (!event.characters.empty()) {
      entry["characters"] = event.characters;
    }
    list.push_back(std::move(entry));
  }
  out_ << toJson(list) << '\n';
}

void ScriptRunner::scroll(std::string_view arguments) {
  auto parts = words(arguments);
  const bool continuous = !parts.empty() && parts.back() == "continuous";
  if (continuous) {
    parts.pop_back();
  }
  const auto deltaY = parts.empty() ? std::nullopt : parseNumber<std::int64_t>(parts[0]);
  const auto deltaX =
      parts.size() < 2 ? std::optional<std::int64_t>(0) : parseNumber<std::int64_t>(parts[1]);
  if (!deltaY || !deltaX || parts.size() > 2) {
    error("scroll: expected DY [DX] [continuous] with whole numbers");
    return;
  }
  const std::size_t before = desktop_.textField().deliveredEvents().size();
  desktop_.mouse().scroll(*deltaY, *deltaX, continuous);
  const auto& delivered = desktop_.textField().deliveredEvents();
  for (std::size_t index = before; index < delivered.size(); ++index) {
    if (const auto& deltas = delivered[index].scroll) {
      out_ << toJson({{"axis1", deltas->axis1},
                      {"axis2", deltas->axis2},
                      {"fixedPtAxis1", deltas->fixedPtAxis1},
                      {"fixedPtAxis2", deltas->fixedPtAxis2},
                      {"pointAxis1", deltas->pointAxis1},
                      {"pointAxis2", deltas->pointAxis2},
                      {"continuous", deltas->continuous}})
           << '\n';
      return;
    }
  }
  out_ << "null\n";
}

void ScriptRunner::click(std::string_view arguments) {
  const auto parts = words(arguments);
  const auto x = parts.size() == 2 ? parseNumber<double>(parts[0]) : std::nullopt;
  const auto y = parts.size() == 2 ? parseNumber<double>(parts[1]) : std::nullopt;
  if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y)) {
    error("click: expected X Y");
    return;
  }
  desktop_.mouse().click({*x, *y});
}

void ScriptRunner::frontmost(std::string_view arguments) {
  const auto parts = words(arguments);
  if (parts.empty() || parts.size() > 3) {
    error("frontmost: expected BUNDLE_ID [BUNDLE_PATH [EXECUTABLE_PATH]]");
    return;
  }
  auto optionalPart = [&parts](std::size_t index) -> std::optional<std::string> {
    return index < parts.size() ? std::optional<std::string>(parts[index]) : std::nullopt;
  };
  desktop_.bringToFront(std::string(parts[0]), optionalPart(1), optionalPart(2));
}

void ScriptRunner::sounds(std::string_view) {
  out_ << toJson(nlohmann::json(desktop_.sound().takePlayed())) << '\n';
}

void ScriptRunner::hud(std::string_view) {
  out_ << toJson(nlohmann::json(desktop_.userInterface().takeHudMessages())) << '\n';
}

void ScriptRunner::menu(std::string_view arguments) {
  const SimUserInterface& userInterface = desktop_.userInterface();
  const SimStatusItemRecord* item = userInterface.statusItem();
  const std::string_view path = trimmed(arguments);
  if (item == nullptr) {
    out_ << "null\n";
    return;
  }
  if (path.empty()) {
    out_ << toOrderedJson(menuJson(item->menu)) << '\n';
    return;
  }
  const auto chain = userInterface.menuItemsAlong(menuPath(path));
  if (chain.empty()) {
    error("menu: no menu item " + toJson(std::string(path)));
    return;
  }
  out_ << toOrderedJson(menuJson({*chain.back()}).front()) << '\n';
}

void ScriptRunner::choose(std::string_view arguments) {
  const std::string_view path = trimmed(arguments);
  if (path.empty()) {
    error("choose: expected TITLE [> TITLE ...]");
    return;
  }
  SimUserInterface& userInterface = desktop_.userInterface();
  const SimStatusItemRecord* item = userInterface.statusItem();
  if (item == nullptr) {
    error("choose: there is no status item");
    return;
  }
  // Like the user: open the menu (a right click always does), let it
  // refresh, then pick.
  const bool openedHere = !item->menuShowing;
  if (openedHere) {
    userInterface.clickStatusItem(MouseButton::Right);
    settle();
  }
  const std::string quoted = toJson(nlohmann::json(std::string(path)));
  std::string problem;
  switch (userInterface.chooseMenuItem(menuPath(path))) {
  case MenuChoice::Chosen:
    return;
  case MenuChoice::NoMenuShowing:
    problem = "the menu did not open";
    break;
  case MenuChoice::NoSuchItem:
    problem = "no menu item " + quoted;
    break;
  case MenuChoice::Disabled:
    problem = quoted + " is disabled";
    break;
  case MenuChoice::OpensSubmenu:
    problem = quoted + " only opens a submenu";
    break;
  }
  if (openedHere) {
    userInterface.dismissMenu();
  }
  error("choose: " + problem);
}

void ScriptRunner::statusClick(std::string_view arguments) {
  const std::string_view kind = trimmed(arguments);
  SimUserInterface& userInterface = desktop_.userInterface();
  if (kind != "left" && kind != "right" && kind != "double") {
    error("status-click: expected left, right or double");
    return;
  }
  if (userInterface.statusItem() == nullptr) {
    error("status-click: there is no status item");
    return;
  }
  if (kind == "right") {
    userInterface.clickStatusItem(MouseButton::Right);
    return;
  }
  userInterface.clickStatusItem(MouseButton::Left, 1);
  if (kind == "double") {
    userInterface.clickStatusItem(MouseButton::Left, 2);
  }
}

void ScriptRunner::statusItem(std::string_view) {
  const SimStatusItemRecord* item = desktop_.userInterface().statusItem();
  if (item == nullptr) {
    out_ << "null\n";
    return;
  }
  const StatusItemAppearance& look = item->appearance;
  nlohmann::ordered_json state = {{"title", look.title}, {"color", colorName(look.color)}};
  state["tooltip"] = look.tooltip ? nlohmann::ordered_json(*look.tooltip) : nullptr;
  state["menuShowing"] = item->menuShowing;
  state["menuShownCount"] = item->menuShownCount;
  out_ << toOrderedJson(state) << '\n';
}

void ScriptRunner::selectAll(std::string_view) {
  desktop_.textField().selectAll();
}

} // namespace quillon
