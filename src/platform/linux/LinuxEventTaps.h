#pragma once

#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Observation.h"
#include "platform/linux/KeyRelayProcess.h"
#include "platform/linux/LinuxInputSources.h"
#include "platform/linux/X11Connection.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace quillon {

class StopSignalHandler;

// The event tap on X11. The keyboards are held by the keyboard relay, a
// process of its own, which asks this tap about each key press and sends on
// what the tap delivers; the keys the product sends go through the relay
// too, so they take their place among the user's in order. Left mouse
// presses are watched through raw events, which any grab leaves alone.
class LinuxEventTaps final : public EventTaps {
public:
  // More relay deaths than this within the window and the relay is not
  // started again: something is wrong that a restart will not mend.
  static constexpr int relayRestartLimit = 3;
  static constexpr Duration relayRestartWindow{60.0};

  LinuxEventTaps(X11Connection& connection, LinuxInputSources& sources, MainQueue& mainQueue,
                 Clock& clock, Log& log, std::filesystem::path executable);
  LinuxEventTaps(const LinuxEventTaps&) = delete;
  LinuxEventTaps& operator=(const LinuxEventTaps&) = delete;
  ~LinuxEventTaps() override;

  std::unique_ptr<EventTapPort> createTap(const TapRequest& request, TapCallback callback) override;
  void post(const Event& event, TapLocation location) override;
  std::optional<EventSource> createSource(EventSourceState state) override;
  Duration doubleClickInterval() const override;
  Point pointerLocation() const override;
  // As the pointer reports them: Super is ⌘.
  EventFlags modifierFlags() const override;
  EventFlags standardShortcutModifier() const override { return flag::Control; }

private:
  class Port;
  struct Tap {
    TapRequest request;
    TapCallback callback;
    bool attached = false;
    bool enabled = false;
  };

  void onEvent(XEvent& event);
  void onLeftButton(int sourceDevice);
  void onRelayMessages(const std::vector<RelayMessage>& messages);
  void onKeyDown(const RelayMessage& message);
  void onModifierChanged(const RelayMessage& message);
  void onTimedOut(std::uint32_t epoch);
  void onRelayEnded();
  std::optional<TapVerdict> dispatch(Event& event);

  bool startRelay();
  void updateRelay();
  void send(RelayMessage message);
  void sendKey(RelayMessageType type, std::uint32_t keycode, EventFlags modifiers = 0);
  void type(const std::u16string& text);
  void releaseCoreKeysOfDeadRelay();

  X11Connection& connection_;
  LinuxInputSources& sources_;
  MainQueue& mainQueue_;
  Clock& clock_;
  Log& log_;
  std::filesystem::path executable_;
  std::shared_ptr<Tap> tap_;
  int ownPointer_ = -1;
  std::unique_ptr<KeyRelayProcess> relay_;
  std::unique_ptr<StopSignalHandler> stopSignal_;
  // The relay's count of time-outs as last heard.
  std::uint32_t epoch_ = 0;
  std::vector<TimePoint> relayDeaths_;
  Observation events_;
  Lifetime lifetime_;
};

} // namespace quillon
