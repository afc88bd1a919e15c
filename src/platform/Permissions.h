// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

class Permissions {
public:
  virtual ~Permissions() = default;
  // Asks without prompting; the answer of a running process may be stale, so
  // callers that need a fresh one ask a new process.
  virtual bool screenCaptureAccess() const = 0;
};

} // namespace quillon
