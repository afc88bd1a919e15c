#pragma once

#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/linux/TapWatchdog.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/XTestKeyboard.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace quillon {

// The event tap on X11. Every slave keyboard but the core XTest device is
// grabbed, so its keys come to the product alone; what the tap delivers is
// sent on through XTest, and what it swallows goes nowhere. Modifier keys are
// always sent on, so the keyboard the clients see holds exactly what the user
// holds. Left mouse presses are watched through raw events, which any grab
// leaves alone.
class LinuxEventTaps final : public EventTaps {
public:
  // How long the main loop may stall before every grab is released.
  static constexpr Duration stallLimit{2.0};

  LinuxEventTaps(X11Connection& connection, XTestKeyboard& keyboard, MainQueue& mainQueue,
                 Log& log);
  LinuxEventTaps(const LinuxEventTaps&) = delete;
  LinuxEventTaps& operator=(const LinuxEventTaps&) = delete;
  ~LinuxEventTaps() override;

  std::unique_ptr<EventTapPort> createTap(const TapRequest& request, TapCallback callback) override;
  void post(const Event& event, TapLocation location) override;
  std::optional<EventSource> createSource(EventSourceState state) override;
  Duration doubleClickInterval() const override;
  Point pointerLocation() const override;
  EventFlags standardShortcutModifier() const override { return flag::Control; }

  // The devices the tap holds now.
  std::set<int> grabbedDevices() const;

private:
  class Port;
  struct Tap {
    TapRequest request;
    TapCallback callback;
    bool attached = false;
    bool enabled = false;
  };

  void onEvent(XEvent& event);
  void onKey(int device, std::uint32_t key, bool down, bool repeat);
  void onModifierKey(int device, std::uint32_t key, bool down);
  void onOrdinaryKeyDown(int device, std::uint32_t key);
  void onOrdinaryKeyUp(int device, std::uint32_t key);
  void onLeftButton(int sourceDevice);
  void onDevicesRemoved(const std::vector<int>& devices);
  std::optional<TapVerdict> dispatch(Event& event);

  void startTap(Tap& tap);
  void stopTap();
  void updateGrabs();
  void grabKeyboards();
  void releaseGrabs();
  void onStall();
  void reportStall();
  void reinject(int device, std::uint32_t key, bool down);
  void releaseKeysOf(int device);
  bool isGrabbed(int device) const;
  void findOwnDevices();

  X11Connection& connection_;
  XTestKeyboard& keyboard_;
  MainQueue& mainQueue_;
  Log& log_;
  std::shared_ptr<Tap> tap_;
  int ownKeyboard_ = -1;
  int ownPointer_ = -1;
  // Guarded: the watchdog releases the grabs from its own thread.
  mutable std::mutex grabMutex_;
  std::set<int> grabbed_;
  // Keys sent on for each grabbed keyboard and still down, so a keyboard
  // unplugged mid-chord leaves nothing held.
  std::map<int, std::set<std::uint32_t>> heldBySource_;
  // Key presses swallowed, whose releases go the same way; and presses
  // delivered as another key, whose releases follow them.
  std::set<std::uint32_t> swallowed_;
  std::map<std::uint32_t, std::uint32_t> deliveredAs_;
  Observation events_;
  std::unique_ptr<TapWatchdog> watchdog_;
  Lifetime lifetime_;
};

} // namespace quillon
