// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/PropertyValue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The power-management service: sleep-preventing assertions held by this
// process, the providing power source, and the root power domain whose
// properties (the lid among them) change with interest messages.
class Power {
public:
  // Unregisters when destroyed.
  class Registration {
  public:
    virtual ~Registration() = default;
  };

  // The root domain's property that says whether the lid is closed.
  static constexpr std::string_view ClamshellStateKey = "AppleClamshellState";

  enum class InterestFailure { RootDomainNotFound, NotificationPortFailed, RegistrationFailed };

  struct InterestResult {
    std::unique_ptr<Registration> registration;
    // Set when registration is null.
    InterestFailure failure = InterestFailure::RegistrationFailed;
    // The service's own return code of a refused registration.
    int code = 0;
  };

  virtual ~Power() = default;

  // An assertion at level "on"; the identifier, or nullopt when refused.
  virtual std::optional<std::uint32_t> createAssertion(std::string_view type,
                                                       std::string_view name) = 0;
  virtual void releaseAssertion(std::uint32_t identifier) = 0;
  // Such as "AC Power" or "Battery Power"; nullopt when it cannot be read.
  virtual std::optional<std::string> providingPowerSourceType() const = 0;

  // A property of the root power domain; nullopt when the domain or the
  // property is missing.
  virtual std::optional<PropertyValue> rootDomainProperty(std::string_view key) const = 0;
  // Calls onMessage on the main queue for every general-interest message of
  // the root power domain. The message itself is not passed on: receivers
  // re-read what they care about.
  virtual InterestResult observeRootDomainInterest(std::function<void()> onMessage) = 0;
};

} // namespace quillon
