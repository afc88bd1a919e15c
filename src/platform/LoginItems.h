// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <optional>
#include <string>

namespace quillon {

// The system's numbering, so a status read on any backend means the same.
enum class LoginItemStatus { NotRegistered = 0, Enabled = 1, RequiresApproval = 2, NotFound = 3 };

// Why the system refused a change, in its own words.
struct LoginItemFailure {
  std::string description;
  friend bool operator==(const LoginItemFailure&, const LoginItemFailure&) = default;
};

// Whether this application starts when the user logs in.
class LoginItems {
public:
  virtual ~LoginItems() = default;
  virtual LoginItemStatus status() const = 0;
  // Each answers nothing when the change was made, the refusal otherwise.
  virtual std::optional<LoginItemFailure> registerApplication() = 0;
  virtual std::optional<LoginItemFailure> unregisterApplication() = 0;
};

} // namespace quillon
