#pragma once

namespace quillon {

class CommandTable;

void addWindowCommands(CommandTable& table);

} // namespace quillon
