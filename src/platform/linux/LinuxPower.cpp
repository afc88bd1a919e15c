#include "platform/linux/LinuxPower.h"

namespace quillon {

namespace {

// Taken on the main thread: logind answers the active session at once, and
// a bus that does not answer must not hold the keyboard's thread for long.
constexpr int AssertionTimeoutMilliseconds = 2000;

class ObservationRegistration final : public Power::Registration {
public:
  explicit ObservationRegistration(Observation observation)
      : observation_(std::move(observation)) {}

private:
  Observation observation_;
};

} // namespace

std::optional<std::uint32_t> LinuxPower::createAssertion(std::string_view, std::string_view name) {
  std::string error;
  auto lock = LogindInhibitor::take({AssertionBlocks, name, AssertionTimeoutMilliseconds}, error);
  if (!lock) {
    return std::nullopt;
  }
  const std::uint32_t identifier = nextAssertion_++;
  assertions_.emplace(identifier, std::move(*lock));
  return identifier;
}

std::optional<std::string> LinuxPower::providingPowerSourceType() const {
  const std::optional<bool> onBattery = upower_.booleanProperty("OnBattery");
  if (!onBattery) {
    return std::nullopt;
  }
  return std::string(*onBattery ? BatteryPower : AcPower);
}

bool LinuxPower::lidClosed() const {
  // Without UPower the client has said so already.
  const std::optional<bool> present = upower_.booleanProperty("LidIsPresent");
  if (present != true) {
    if (present == false && !noLidReported_) {
      noLidReported_ = true;
      log_.write("Quillon: UPower reports no lid on this machine; the lid reads open");
    }
    return false;
  }
  return upower_.booleanProperty("LidIsClosed") == true;
}

std::optional<PropertyValue> LinuxPower::rootDomainProperty(std::string_view key) const {
  if (key != ClamshellStateKey) {
    return std::nullopt;
  }
  return PropertyValue(lidClosed());
}

Power::InterestResult LinuxPower::observeRootDomainInterest(std::function<void()> onMessage) {
  InterestResult result;
  result.registration =
      std::make_unique<ObservationRegistration>(upower_.observeChanges(std::move(onMessage)));
  return result;
}

} // namespace quillon
