#include "simulate/ShellCommands.h"

#include "app/AppDelegate.h"
#include "app/MenuCommand.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

namespace quillon {

namespace {

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

void set(ScriptContext& context, std::string_view arguments) {
  const std::string_view text = trimmed(arguments);
  const std::size_t space = text.find(' ');
  const auto key = Settings::keyNamed(text.substr(0, space));
  const auto value =
      space == std::string_view::npos ? std::nullopt : parseBool(trimmed(text.substr(space + 1)));
  if (!key || !value) {
    context.error("set: expected KEY true|false with a known key");
    return;
  }
  context.application().settings().set(*value, *key);
}

void get(ScriptContext& context, std::string_view arguments) {
  const auto key = Settings::keyNamed(trimmed(arguments));
  if (!key) {
    context.error("get: unknown key " + quotedArgument(trimmed(arguments)));
    return;
  }
  context.print(context.application().settings().value(*key) ? "true" : "false");
}

// The dictionaries are read on a thread of their own while the script runs
// on: this waits for them, so what follows is judged with them.
void dictionaries(ScriptContext& context, std::string_view) {
  EventTap* tap = context.application().eventTap();
  if (tap == nullptr) {
    context.error("dictionaries: the event tap is not running");
    return;
  }
  WordDictionaries& loader = tap->autoSwitcher().dictionaries();
  loader.load();
  context.print(loader.waitUntilLoaded() ? "true" : "false");
}

void hud(ScriptContext& context, std::string_view) {
  context.print(toJson(nlohmann::json(context.desktop().userInterface().takeHudMessages())));
}

void menu(ScriptContext& context, std::string_view arguments) {
  const SimUserInterface& userInterface = context.desktop().userInterface();
  const SimStatusItemRecord* item = userInterface.statusItem();
  const std::string_view path = trimmed(arguments);
  if (item == nullptr) {
    context.print("null");
    return;
  }
  if (path.empty()) {
    context.print(toOrderedJson(menuJson(item->menu)));
    return;
  }
  const auto chain = userInterface.menuItemsAlong(menuPath(path));
  if (chain.empty()) {
    context.error("menu: no menu item " + quotedArgument(path));
    return;
  }
  context.print(toOrderedJson(menuJson({*chain.back()}).front()));
}

void choose(ScriptContext& context, std::string_view arguments) {
  const std::string_view path = trimmed(arguments);
  if (path.empty()) {
    context.error("choose: expected TITLE [> TITLE ...]");
    return;
  }
  SimUserInterface& userInterface = context.desktop().userInterface();
  const SimStatusItemRecord* item = userInterface.statusItem();
  if (item == nullptr) {
    context.error("choose: there is no status item");
    return;
  }
  // Like the user: open the menu (a right click always does), let it
  // refresh, then pick.
  const bool openedHere = !item->menuShowing;
  if (openedHere) {
    userInterface.clickStatusItem(MouseButton::Right);
    context.settle();
  }
  const std::string quoted = quotedArgument(path);
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
  context.error("choose: " + problem);
}

void statusClick(ScriptContext& context, std::string_view arguments) {
  const std::string_view kind = trimmed(arguments);
  SimUserInterface& userInterface = context.desktop().userInterface();
  if (kind != "left" && kind != "right" && kind != "double") {
    context.error("status-click: expected left, right or double");
    return;
  }
  if (userInterface.statusItem() == nullptr) {
    context.error("status-click: there is no status item");
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

void statusItem(ScriptContext& context, std::string_view) {
  const SimStatusItemRecord* item = context.desktop().userInterface().statusItem();
  if (item == nullptr) {
    context.print("null");
    return;
  }
  const StatusItemAppearance& look = item->appearance;
  nlohmann::ordered_json state = {{"title", look.title}, {"color", colorName(look.color)}};
  state["tooltip"] = look.tooltip ? nlohmann::ordered_json(*look.tooltip) : nullptr;
  state["menuShowing"] = item->menuShowing;
  state["menuShownCount"] = item->menuShownCount;
  context.print(toOrderedJson(state));
}

} // namespace

void addShellCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  using enum ScriptCommand::Launch;
  table.add("set", {.launch = NotNeeded, .run = set});
  table.add("get", get);
  table.add("dictionaries", dictionaries);
  table.add("hud", {.arguments = None, .run = hud});
  table.add("menu", menu);
  table.add("choose", choose);
  table.add("status-click", statusClick);
  table.add("status-item", {.arguments = None, .run = statusItem});
}

} // namespace quillon
