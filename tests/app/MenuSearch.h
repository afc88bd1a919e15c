#pragma once

#include "app/MenuCommand.h"
#include "platform/UserInterface.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The titles leading to the first item that runs the command, submenus
// first; empty when no item does.
inline std::vector<std::string> menuPathTo(const std::vector<MenuItem>& items,
                                           MenuCommand command) {
  for (const MenuItem& item : items) {
    if (item.tag == menuCommandTag(command)) {
      return {item.title};
    }
    auto inner = menuPathTo(item.submenu, command);
    if (!inner.empty()) {
      inner.insert(inner.begin(), item.title);
      return inner;
    }
  }
  return {};
}

// The first item that runs the command, as the menu on screen shows it.
inline const MenuItem* findMenuItem(const std::vector<MenuItem>& items, MenuCommand command) {
  for (const MenuItem& item : items) {
    if (item.tag == menuCommandTag(command)) {
      return &item;
    }
    if (const MenuItem* found = findMenuItem(item.submenu, command)) {
      return found;
    }
  }
  return nullptr;
}

} // namespace quillon
