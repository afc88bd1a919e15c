// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

// Whether this process may observe and control other applications. Grows
// element access as window features need it.
class Accessibility {
public:
  virtual ~Accessibility() = default;
  virtual bool isProcessTrusted() const = 0;
  // With prompt set, an untrusted process makes the system ask the user.
  virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
};

} // namespace quillon
