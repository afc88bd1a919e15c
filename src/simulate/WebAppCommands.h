#pragma once

namespace quillon {

class CommandTable;

// webapp-create, admin, http-root and run-bundle.
void addWebAppCommands(CommandTable& table);

} // namespace quillon
