#pragma once

#include "platform/Log.h"
#include "platform/Power.h"
#include "platform/linux/LogindInhibitor.h"
#include "platform/linux/UPowerClient.h"

#include <cstdint>
#include <map>

namespace quillon {

// Power management on a Linux session: assertions are logind locks, the
// power source and the lid are UPower's, and UPower's change signals are the
// root domain's interest messages.
class LinuxPower final : public Power {
public:
  static constexpr std::string_view AcPower = "AC Power";
  static constexpr std::string_view BatteryPower = "Battery Power";
  // What an assertion against system sleep keeps off here.
  static constexpr std::string_view AssertionBlocks = "sleep:idle";

  explicit LinuxPower(Log& log) : log_(log), upower_(log) {}

  std::optional<std::uint32_t> createAssertion(std::string_view type,
                                               std::string_view name) override;
  void releaseAssertion(std::uint32_t identifier) override { assertions_.erase(identifier); }
  std::optional<std::string> providingPowerSourceType() const override;
  std::optional<PropertyValue> rootDomainProperty(std::string_view key) const override;
  InterestResult observeRootDomainInterest(std::function<void()> onMessage) override;

private:
  bool lidClosed() const;

  Log& log_;
  mutable UPowerClient upower_;
  mutable bool noLidReported_ = false;
  std::map<std::uint32_t, InhibitorLock> assertions_;
  std::uint32_t nextAssertion_ = 1;
};

} // namespace quillon
