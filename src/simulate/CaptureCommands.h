#pragma once

namespace quillon {

class CommandTable;

// The machine around capture and keep-awake: system tools, the home folder,
// power, the lid and the permissions the user grants.
void addCaptureCommands(CommandTable& table);

} // namespace quillon
