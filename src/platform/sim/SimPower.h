#pragma once

#include "platform/MainQueue.h"
#include "platform/Power.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The machine's power management: its source, the assertions processes
// hold, the lid as the root power domain reports it, and the system-wide
// sleep-disabled switch that pmset reads and writes.
class SimPower final : public Power {
public:
  static constexpr std::string_view AcPower = "AC Power";
  static constexpr std::string_view BatteryPower = "Battery Power";

  struct Assertion {
    std::string type;
    std::string name;
  };

  explicit SimPower(MainQueue& mainQueue);
  ~SimPower() override;
  SimPower(const SimPower&) = delete;
  SimPower& operator=(const SimPower&) = delete;

  std::optional<std::uint32_t> createAssertion(std::string_view type,
                                               std::string_view name) override;
  void releaseAssertion(std::uint32_t identifier) override;
  std::optional<std::string> providingPowerSourceType() const override { return powerSource_; }
  std::optional<PropertyValue> rootDomainProperty(std::string_view key) const override;
  InterestResult observeRootDomainInterest(std::function<void()> onMessage) override;

  void setPowerSource(std::optional<std::string> type) { powerSource_ = std::move(type); }
  // Sets the lid property and sends the interest message that follows it.
  void setLidClosed(bool closed);
  // An absent value makes the property unreadable.
  void setRootDomainProperty(std::string key, std::optional<PropertyValue> value);
  // A message without any change, as the domain sends for other reasons.
  void sendInterestMessage();
  void setRootDomainPresent(bool present) { rootDomainPresent_ = present; }
  // Makes the next registrations fail as they can.
  void failInterestRegistration(std::optional<InterestFailure> failure, int code = 0);
  void setAssertionsRefused(bool refused) { assertionsRefused_ = refused; }

  const std::map<std::uint32_t, Assertion>& assertions() const { return assertions_; }
  std::size_t interestObserverCount() const;

  // The system-wide switch pmset reports as SleepDisabled.
  bool sleepDisabled() const { return sleepDisabled_; }
  void setSleepDisabled(bool disabled) { sleepDisabled_ = disabled; }
  void sleepDisplay() { ++displaySleepCount_; }
  int displaySleepCount() const { return displaySleepCount_; }

private:
  class Observer;
  struct Observers;

  MainQueue& mainQueue_;
  std::optional<std::string> powerSource_ = std::string(AcPower);
  std::map<std::string, PropertyValue, std::less<>> rootDomain_;
  bool rootDomainPresent_ = true;
  std::optional<InterestFailure> interestFailure_;
  int interestFailureCode_ = 0;
  bool assertionsRefused_ = false;
  std::map<std::uint32_t, Assertion> assertions_;
  std::uint32_t nextAssertion_ = 100;
  bool sleepDisabled_ = false;
  int displaySleepCount_ = 0;
  std::shared_ptr<Observers> observers_;
};

} // namespace quillon
