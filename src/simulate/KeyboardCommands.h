#pragma once

namespace quillon {

class CommandTable;

void addKeyboardCommands(CommandTable& table);

} // namespace quillon
