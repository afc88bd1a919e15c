#include "platform/sim/SimPower.h"

#include <algorithm>

namespace quillon {

struct SimPower::Observers {
  std::vector<std::pair<int, std::function<void()>>> callbacks;
  int nextIdentifier = 0;
};

class SimPower::Observer final : public Power::Registration {
public:
  Observer(std::weak_ptr<Observers> observers, int identifier)
      : observers_(std::move(observers)), identifier_(identifier) {}
  ~Observer() override {
    if (const auto observers = observers_.lock()) {
      std::erase_if(observers->callbacks,
                    [this](const auto& entry) { return entry.first == identifier_; });
    }
  }

private:
  std::weak_ptr<Observers> observers_;
  int identifier_;
};

SimPower::SimPower(MainQueue& mainQueue)
    : mainQueue_(mainQueue), observers_(std::make_shared<Observers>()) {
  rootDomain_.insert_or_assign(std::string(ClamshellStateKey), PropertyValue(false));
}

SimPower::~SimPower() = default;

std::optional<std::uint32_t> SimPower::createAssertion(std::string_view type,
                                                       std::string_view name) {
  if (assertionsRefused_) {
    return std::nullopt;
  }
  const std::uint32_t identifier = nextAssertion_++;
  assertions_.emplace(identifier, Assertion{std::string(type), std::string(name)});
  return identifier;
}

void SimPower::releaseAssertion(std::uint32_t identifier) {
  assertions_.erase(identifier);
}

std::optional<PropertyValue> SimPower::rootDomainProperty(std::string_view key) const {
  if (!rootDomainPresent_) {
    return std::nullopt;
  }
  const auto found = rootDomain_.find(key);
  if (found == rootDomain_.end()) {
    return std::nullopt;
  }
  return found->second;
}

Power::InterestResult SimPower::observeRootDomainInterest(std::function<void()> onMessage) {
  if (!rootDomainPresent_) {
    return {nullptr, InterestFailure::RootDomainNotFound, 0};
  }
  if (interestFailure_) {
    return {nullptr, *interestFailure_, interestFailureCode_};
  }
  const int identifier = observers_->nextIdentifier++;
  observers_->callbacks.emplace_back(identifier, std::move(onMessage));
  return {std::make_unique<Observer>(observers_, identifier), {}, 0};
}

void SimPower::setLidClosed(bool closed) {
  rootDomain_.insert_or_assign(std::string(ClamshellStateKey), PropertyValue(closed));
  sendInterestMessage();
}

void SimPower::setRootDomainProperty(std::string key, std::optional<PropertyValue> value) {
  if (value) {
    rootDomain_.insert_or_assign(std::move(key), std::move(*value));
    return;
  }
  if (const auto found = rootDomain_.find(key); found != rootDomain_.end()) {
    rootDomain_.erase(found);
  }
}

void SimPower::sendInterestMessage() {
  // Delivered on the main queue, each to the observers registered when it
  // was sent and still registered when it arrives.
  for (const auto& entry : observers_->callbacks) {
    mainQueue_.async([observers = std::weak_ptr<Observers>(observers_), id = entry.first] {
      const auto live = observers.lock();
      if (!live) {
        return;
      }
      const auto found =
          std::find_if(live->callbacks.begin(), live->callbacks.end(),
                       [id](const auto& candidate) { return candidate.first == id; });
      if (found != live->callbacks.end()) {
        auto callback = found->second;
        callback();
      }
    });
  }
}

void SimPower::failInterestRegistration(std::optional<InterestFailure> failure, int code) {
  interestFailure_ = failure;
  interestFailureCode_ = code;
}

std::size_t SimPower::interestObserverCount() const {
  return observers_->callbacks.size();
}

} // namespace quillon
