#pragma once

#include "platform/Permissions.h"

namespace quillon {

// An X11 session lets every client read the screen, so there is nothing to
// ask for.
class LinuxPermissions final : public Permissions {
public:
  bool screenCaptureAccess() const override { return true; }
};

} // namespace quillon
