#include "simulate/UtilityCommands.h"

#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

#include <algorithm>

namespace quillon {

namespace {

// A script line cannot hold a line break, so a text may also be written as
// a JSON string literal.
std::optional<std::string> scriptText(std::string_view arguments) {
  if (arguments.empty() || arguments.front() != '"') {
    return std::string(arguments);
  }
  const nlohmann::json parsed = nlohmann::json::parse(arguments, nullptr, false);
  if (!parsed.is_string()) {
    return std::nullopt;
  }
  return parsed.get<std::string>();
}

void copy(ScriptContext& context, std::string_view arguments) {
  const auto text = scriptText(arguments);
  if (!text) {
    context.error("copy: expected a text or a JSON string, got " + quotedArgument(arguments));
    return;
  }
  context.desktop().pasteboard().setString(*text);
}

void copyImage(ScriptContext& context, std::string_view) {
  // The eight bytes every PNG file starts with are enough for a reader that
  // only looks at the types.
  PasteboardItem image;
  image.representations.emplace(std::string(pasteboardtype::Png),
                                PropertyData{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  Pasteboard& pasteboard = context.desktop().pasteboard();
  pasteboard.clearContents();
  pasteboard.writeItems({std::move(image)});
}

void history(ScriptContext& context, std::string_view) {
  context.print(toJson(nlohmann::json(context.application().clipboardHistory().entries())));
}

void popup(ScriptContext& context, std::string_view) {
  const SimPopUpMenuRecord* menu = context.desktop().userInterface().popUpMenuRecord();
  if (menu == nullptr || !menu->showing) {
    context.error("popup: no pop-up menu is showing");
    return;
  }
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MenuItem& item : menu->items) {
    if (!item.separator) {
      list.push_back({{"title", item.title}, {"key", item.keyEquivalent}});
    }
  }
  context.print(toOrderedJson(list));
}

void pick(ScriptContext& context, std::string_view arguments) {
  const auto n = parseNumber<std::size_t>(trimmed(arguments));
  if (!n) {
    context.error("pick: expected an item number from 1, got " + quotedArgument(arguments));
    return;
  }
  switch (context.desktop().userInterface().choosePopUpMenuItem(*n)) {
  case MenuChoice::Chosen:
    return;
  case MenuChoice::NoMenuShowing:
    context.error("pick: no pop-up menu is showing");
    return;
  case MenuChoice::Disabled:
    context.error("pick: item " + std::to_string(*n) + " is disabled");
    return;
  case MenuChoice::NoSuchItem:
  case MenuChoice::OpensSubmenu:
    context.error("pick: no item " + std::to_string(*n));
    return;
  }
}

// Deeper trees are almost certainly a mistake, and would only make the
// script's reader recurse.
constexpr int maximumMenuNesting = 16;

// A JSON array of {"title", "enabled", "items"} objects, each member
// optional, as menu items; absent on any other shape.
std::optional<std::vector<SimMenuItem>> menuItems(const nlohmann::json& list, int nesting) {
  if (!list.is_array() || nesting > maximumMenuNesting) {
    return std::nullopt;
  }
  std::vector<SimMenuItem> items;
  for (const nlohmann::json& entry : list) {
    if (!entry.is_object()) {
      return std::nullopt;
    }
    SimMenuItem item;
    for (const auto& [name, value] : entry.items()) {
      if (name == "title" && value.is_string()) {
        item.title = value.get<std::string>();
      } else if (name == "enabled" && value.is_boolean()) {
        item.enabled = value.get<bool>();
      } else if (name == "items") {
        auto children = menuItems(value, nesting + 1);
        if (!children) {
          return std::nullopt;
        }
        item.children = std::move(*children);
      } else {
        return std::nullopt;
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

void appMenu(ScriptContext& context, std::string_view arguments) {
  const nlohmann::json parsed = nlohmann::json::parse(arguments, nullptr, false);
  auto menus = menuItems(parsed, 0);
  if (!menus) {
    context.error("app-menu: expected a JSON array of {\"title\", \"enabled\", \"items\"} "
                  "objects, got " +
                  quotedArgument(arguments));
    return;
  }
  const auto frontmost = context.desktop().workspace().frontmostApplication();
  if (!frontmost) {
    context.error("app-menu: no application is frontmost");
    return;
  }
  context.desktop().applications().application(frontmost->processIdentifier).menuBar =
      SimMenuItem{.title = std::nullopt, .enabled = std::nullopt, .children = std::move(*menus)};
}

// The user's preferred languages, most preferred first, as the system
// settings would list them.
void languages(ScriptContext& context, std::string_view arguments) {
  std::vector<std::string> list;
  std::string_view rest = trimmed(arguments);
  while (!rest.empty()) {
    const auto end = std::min(rest.find(','), rest.size());
    const std::string_view language = trimmed(rest.substr(0, end));
    if (language.empty() || language.find_first_of(" \t") != std::string_view::npos) {
      context.error("languages: expected a comma-separated list such as ru,en, got " +
                    quotedArgument(arguments));
      return;
    }
    list.emplace_back(language);
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  if (list.empty()) {
    context.error("languages: expected a comma-separated list such as ru,en");
    return;
  }
  context.desktop().localization().setPreferredLanguages(std::move(list));
}

} // namespace

void addUtilityCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  table.add("copy", copy);
  table.add("copy-image", {.arguments = None, .run = copyImage});
  table.add("history", {.arguments = None, .run = history});
  table.add("popup", {.arguments = None, .run = popup});
  table.add("pick", pick);
  table.add("app-menu", appMenu);
  table.add("languages", {.launch = ScriptCommand::Launch::NotNeeded, .run = languages});
}

} // namespace quillon
