#pragma once

namespace quillon {

class CommandTable;

void addFinderCommands(CommandTable& table);

} // namespace quillon
