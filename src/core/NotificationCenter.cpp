#include "core/NotificationCenter.h"

#include <algorithm>

namespace quillon {

NotificationCenter::Observation&
NotificationCenter::Observation::operator=(Observation&& other) noexcept {
  if (this != &other) {
    stop();
    registry_ = std::move(other.registry_);
    name_ = std::move(other.name_);
    observer_ = std::move(other.observer_);
  }
  return *this;
}

void NotificationCenter::Observation::stop() {
  const auto observer = observer_.lock();
  if (!observer) {
    return;
  }
  observer->active = false;
  observer_.reset();
  const auto registry = registry_.lock();
  if (!registry) {
    return;
  }
  const auto entry = registry->find(name_);
  if (entry == registry->end()) {
    return;
  }
  std::erase(entry->second, observer);
}

NotificationCenter::Observation NotificationCenter::observe(std::string_view name,
                                                            std::function<void()> callback) {
  auto observer = std::make_shared<Observer>(Observer{std::move(callback)});
  auto found = registry_->find(name);
  if (found == registry_->end()) {
    found = registry_->emplace(std::string(name), ObserverList{}).first;
  }
  found->second.push_back(observer);
  return Observation(registry_, std::string(name), observer);
}

void NotificationCenter::post(std::string_view name) {
  const auto found = registry_->find(name);
  if (found == registry_->end()) {
    return;
  }
  // Observers may stop observing, or start, while they are being called: walk
  // a snapshot and skip those that stopped meanwhile.
  const ObserverList snapshot = found->second;
  for (const auto& observer : snapshot) {
    if (observer->active) {
      observer->callback();
    }
  }
}

} // namespace quillon
