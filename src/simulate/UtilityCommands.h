#pragma once

namespace quillon {

class CommandTable;

void addUtilityCommands(CommandTable& table);

} // namespace quillon
