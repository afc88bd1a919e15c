#pragma once

namespace quillon {

class CommandTable;

void addShellCommands(CommandTable& table);

} // namespace quillon
