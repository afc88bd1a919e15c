#pragma once

#include "app/MenuCommand.h"
#include "core/ActionTable.h"
#include "platform/LiveServices.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Which capability each feature stands on, so that a feature whose service
// the desktop only stands in for takes no hotkey, runs no launch step and
// offers no menu item.

// How the log names the capability.
std::string_view capabilityName(Capability capability);

// True when every capability the action needs is live.
bool isActionLive(Action action, const LiveServices& services);

// The capability behind a menu item; absent for items every desktop serves.
std::optional<Capability> capabilityBehind(MenuCommand command);

// Why the menu item cannot act here; absent when it can.
std::optional<std::string> whyMenuCommandIsNotLive(MenuCommand command,
                                                   const LiveServices& services);

// Withholds, in the table, every action this desktop cannot really perform.
void withholdActionsNotLive(ActionTable& actions, const LiveServices& services);

} // namespace quillon
