#include "platform/sim/SimEventTaps.h"

#include <algorithm>

namespace quillon {

class SimEventTaps::Port final : public EventTapPort {
public:
  explicit Port(std::shared_ptr<TapState> state) : state_(std::move(state)) {}
  void attachToMainLoop() override { state_->attached = true; }
  void setEnabled(bool enabled) override { state_->enabled = enabled; }
  bool isEnabled() const override { return state_->enabled; }

private:
  std::shared_ptr<TapState> state_;
};

std::unique_ptr<EventTapPort> SimEventTaps::createTap(const TapRequest& request,
                                                      TapCallback callback) {
  if (!accessibility_.isProcessTrusted()) {
    journal_.record("create event tap refused");
    return nullptr;
  }
  auto state = std::make_shared<TapState>(TapState{request, std::move(callback)});
  std::erase_if(taps_, [](const auto& tap) { return tap.expired(); });
  if (request.placement == TapPlacement::HeadInsert) {
    taps_.insert(taps_.begin(), state);
  } else {
    taps_.push_back(state);
  }
  journal_.record("create event tap");
  return std::make_unique<Port>(std::move(state));
}

void SimEventTaps::post(const Event& event, TapLocation) {
  ++postedCount_;
  Event posted = event;
  if (!posted.hasExplicitFlags()) {
    posted.setFlags(sessionFlags_);
  }
  deliverInOrder(std::move(posted));
}

std::optional<EventSource> SimEventTaps::createSource(EventSourceState) {
  if (sourceCreationFails_) {
    return std::nullopt;
  }
  return EventSource{};
}

void SimEventTaps::inject(Event event) {
  if (event.type() == EventType::FlagsChanged) {
    sessionFlags_ = event.flags();
  }
  if (deliverInOrder(std::move(event)) && afterHardwareEvent_) {
    afterHardwareEvent_();
  }
}

bool SimEventTaps::deliverInOrder(Event event) {
  if (delivering_) {
    pending_.push_back(std::move(event));
    return false;
  }
  delivering_ = true;
  deliver(event);
  // A vector read from a moving front: the queue is drained completely each
  // time, so its storage is reused for every later event.
  for (std::size_t next = 0; next < pending_.size(); ++next) {
    Event queued = std::move(pending_[next]);
    deliver(queued);
  }
  pending_.clear();
  delivering_ = false;
  return true;
}

std::vector<std::shared_ptr<SimEventTaps::TapState>> SimEventTaps::liveTaps() const {
  std::vector<std::shared_ptr<TapState>> live;
  for (const auto& weak : taps_) {
    if (auto tap = weak.lock()) {
      live.push_back(std::move(tap));
    }
  }
  return live;
}

void SimEventTaps::deliver(Event& event) {
  // A snapshot, since a callback may install or drop a tap; deliveries never
  // nest, so one buffer serves them all.
  deliveryOrder_.clear();
  for (const auto& weak : taps_) {
    if (auto tap = weak.lock()) {
      deliveryOrder_.push_back(std::move(tap));
    }
  }
  const bool swallowed = passThroughTaps(event);
  // A dropped tap's callback must not outlive its owner's wish to end it.
  deliveryOrder_.clear();
  if (!swallowed && !isReleaseOfSwallowedKey(event) && sink_) {
    sink_(event);
  }
  notePress(event, swallowed);
}

// Key-ups never pass the taps, yet the release of a press a tap swallowed
// must not reach the application alone: the system holds it back too.
void SimEventTaps::notePress(const Event& event, bool swallowed) {
  if (event.type() != EventType::KeyDown || event.isMarkedSynthetic()) {
    return;
  }
  if (swallowed) {
    swallowedKeys_.insert(event.keyCode());
  } else {
    swallowedKeys_.erase(event.keyCode());
  }
}

bool SimEventTaps::isReleaseOfSwallowedKey(const Event& event) {
  return event.type() == EventType::KeyUp && !event.isMarkedSynthetic() &&
         swallowedKeys_.erase(event.keyCode()) > 0;
}

bool SimEventTaps::passThroughTaps(Event& event) const {
  const std::uint64_t bit = eventMaskBit(event.type());
  for (const auto& tap : deliveryOrder_) {
    if (!tap->attached || !tap->enabled || (tap->request.eventMask & bit) == 0) {
      continue;
    }
    if (tap->request.options == TapOptions::ListenOnly) {
      Event copy = event;
      tap->callback(copy);
      continue;
    }
    if (tap->callback(event) == TapVerdict::Swallow) {
      return true;
    }
  }
  return false;
}

void SimEventTaps::disableTaps(EventType reason) {
  for (const auto& tap : liveTaps()) {
    if (!tap->attached || !tap->enabled) {
      continue;
    }
    tap->enabled = false;
    Event notice(reason);
    tap->callback(notice);
  }
}

std::size_t SimEventTaps::installedTapCount() const {
  return liveTaps().size();
}

std::vector<TapRequest> SimEventTaps::installedTapRequests() const {
  std::vector<TapRequest> requests;
  for (const auto& tap : liveTaps()) {
    requests.push_back(tap->request);
  }
  return requests;
}

bool SimEventTaps::anyTapEnabled() const {
  const auto live = liveTaps();
  return std::any_of(live.begin(), live.end(), [](const auto& tap) { return tap->enabled; });
}

} // namespace quillon
