#pragma once

#include "platform/Alerts.h"

namespace quillon {

// Alerts as GTK message dialogs: the message as primary text, the
// informative text under it, the fields as labelled entries in a grid, and
// the buttons with the first as default at the right, as GTK places the
// affirmative answer. Return answers the default button (from a field too),
// Escape and closing the window the last one, the usual decline. The dialog
// runs in a main loop of its own, so the rest of the product (the event tap
// among it) keeps running meanwhile.
class LinuxAlerts final : public Alerts {
public:
  AlertResponse runModal(const AlertRequest& request) override;
};

} // namespace quillon
