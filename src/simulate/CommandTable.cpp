#include "simulate/CommandTable.h"

#include <cassert>

namespace quillon {

void CommandTable::add(std::string name, ScriptCommand::Handler handler) {
  add(std::move(name), ScriptCommand{.run = std::move(handler)});
}

void CommandTable::add(std::string name, ScriptCommand command) {
  [[maybe_unused]] const bool added = commands_.emplace(std::move(name), std::move(command)).second;
  assert(added && "two subsystems claim the same script command");
}

const ScriptCommand* CommandTable::find(std::string_view name) const {
  const auto found = commands_.find(name);
  return found == commands_.end() ? nullptr : &found->second;
}

} // namespace quillon
