#pragma once

namespace quillon {

class CommandTable;

void addDesktopCommands(CommandTable& table);

} // namespace quillon
