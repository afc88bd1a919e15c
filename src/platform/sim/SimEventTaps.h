#pragma once

#include "platform/EventTaps.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimServices.h"

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace quillon {

// The simulated event system: every event, the user's and the product's
// posted ones alike, passes through the installed taps in order and what
// survives reaches the focused application.
class SimEventTaps final : public EventTaps {
public:
  using Sink = std::function<void(const Event&)>;

  SimEventTaps(SimJournal& journal, SimAccessibility& accessibility)
      : journal_(journal), accessibility_(accessibility) {}

  std::unique_ptr<EventTapPort> createTap(const TapRequest& request, TapCallback callback) override;
  void post(const Event& event, TapLocation location) override;
  std::optional<EventSource> createSource(EventSourceState state) override;
  Duration doubleClickInterval() const override { return doubleClickInterval_; }
  Point pointerLocation() const override { return pointer_; }
  EventFlags modifierFlags() const override { return sessionFlags_; }

  // Where surviving events go: the focused application.
  void setSink(Sink sink) { sink_ = std::move(sink); }
  // What runs once a hardware event has been delivered: the main queue,
  // which on a real desktop runs as soon as the tap callback returns.
  void setAfterHardwareEvent(std::function<void()> after) {
    afterHardwareEvent_ = std::move(after);
  }
  // An event from the hardware (the keyboard, the mouse): delivered with
  // everything queued before it, then the after-hardware work runs.
  void inject(Event event);
  // The modifiers the hardware last reported held, which a posted event
  // without flags of its own takes on.
  EventFlags sessionFlags() const { return sessionFlags_; }
  // The system's answer to a slow or user-disabled tap: the tap stops
  // receiving events and is told so through its callback.
  void disableTaps(EventType reason);

  std::size_t installedTapCount() const;
  std::vector<TapRequest> installedTapRequests() const;
  bool anyTapEnabled() const;
  std::size_t postedCount() const { return postedCount_; }
  void setDoubleClickInterval(Duration interval) { doubleClickInterval_ = interval; }
  void setPointerLocation(Point location) { pointer_ = location; }
  void setSourceCreationFails(bool fails) { sourceCreationFails_ = fails; }

private:
  struct TapState {
    TapRequest request;
    TapCallback callback;
    bool attached = false;
    bool enabled = false;
  };
  class Port;

  std::vector<std::shared_ptr<TapState>> liveTaps() const;
  // Queues the event and, unless a delivery is already under way (a tap
  // callback posting, say), delivers everything queued, in order; false
  // when the event joined a delivery under way.
  bool deliverInOrder(Event event);
  void deliver(Event& event);
  // True when a tap swallowed the event.
  bool passThroughTaps(Event& event) const;
  void notePress(const Event& event, bool swallowed);
  bool isReleaseOfSwallowedKey(const Event& event);

  SimJournal& journal_;
  SimAccessibility& accessibility_;
  // Front to back in the order events visit them.
  std::vector<std::weak_ptr<TapState>> taps_;
  std::vector<Event> pending_;
  // The user's presses a tap swallowed, whose releases are dropped too.
  std::set<KeyCode> swallowedKeys_;
  std::vector<std::shared_ptr<TapState>> deliveryOrder_;
  bool delivering_ = false;
  Sink sink_;
  std::function<void()> afterHardwareEvent_;
  Duration doubleClickInterval_{0.5};
  Point pointer_{};
  EventFlags sessionFlags_ = 0;
  std::size_t postedCount_ = 0;
  bool sourceCreationFails_ = false;
};

} // namespace quillon
