#pragma once

#include "platform/Clock.h"
#include "platform/Lifetime.h"
#include "platform/MainQueue.h"
#include "platform/Observation.h"
#include "platform/linux/KeyRelayProtocol.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Devices.h"
#include "platform/linux/XTestKeyboard.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace quillon {

// The keyboard relay: a small process of its own that holds every keyboard
// of the session and sends each key on to the focused window, asking the
// product first what to do with it. It never waits on anything but X and a
// bounded time for an answer, so whatever the product does (busy, stopped in
// a terminal or a debugger, killed), the user's keys still arrive, once, in
// the order pressed, and none is left down.
class KeyRelay {
public:
  // A product that answers within this is live; past it, keys pass through
  // unchanged so the user never types into a frozen keyboard. Long enough
  // that a busy product (a sanitizer build on a loaded machine) is not
  // taken for a stopped one.
  static constexpr Duration verdictLimit{0.5};

  // `send` carries messages to the product; `ended` is called once the relay
  // has let go of everything and wants its loop to stop.
  KeyRelay(X11Connection& connection, XTestKeyboard& keyboard, MainQueue& mainQueue, Clock& clock,
           std::function<bool(const RelayMessage&)> send);
  KeyRelay(const KeyRelay&) = delete;
  KeyRelay& operator=(const KeyRelay&) = delete;
  // Lets go of every key and keyboard.
  ~KeyRelay();

  void receive(const RelayMessage& message);

private:
  enum class Mode {
    // Holding nothing.
    Idle,
    // Holding the keyboards and asking the product about each key.
    Asking,
    // Holding the keyboards, passing keys unchanged: the product did not
    // answer in time.
    Bypass,
    // Passing keys unchanged until the user holds none, then letting go.
    Releasing,
  };
  // What became of a key press, so its repeats and its release follow it.
  struct Fate {
    bool swallowed = false;
    std::uint32_t delivered = 0;
  };
  struct Pending {
    int device = 0;
    std::uint32_t keycode = 0;
    bool down = false;
    bool repeat = false;
    bool modifier = false;
    // Asked, and the answer not in yet.
    std::optional<std::uint32_t> awaiting;
    std::optional<RelayMessage> verdict;
    TimePoint askedAt{};
  };
  using DeviceKey = std::pair<int, std::uint32_t>;

  void onEvent(XEvent& event);
  void onKey(int device, std::uint32_t keycode, bool down, bool repeat);
  void onVerdict(const RelayMessage& verdict);
  void onPost(const RelayMessage& post);
  void setMode(Mode mode);
  void drain();
  void apply(const Pending& pending);
  void applyPress(const Pending& pending);
  void applyRelease(const Pending& pending);
  void onDeadline();
  void armDeadline();
  void enterBypass();
  void tellTimedOut();
  void finishReleasingWhenIdle();

  void releaseStuckCoreKeys();
  void grabIdleKeyboards();
  void ungrabAll();
  void forgetDevice(int device);
  bool userHoldsKeys() const;
  EventFlags userModifiers() const;

  X11Connection& connection_;
  XTestKeyboard& keyboard_;
  MainQueue& mainQueue_;
  Clock& clock_;
  std::function<bool(const RelayMessage&)> send_;
  Mode mode_ = Mode::Idle;
  std::uint32_t epoch_ = 0;
  std::uint32_t nextSequence_ = 0;
  int ownKeyboard_ = -1;
  std::set<int> grabbed_;
  KeyStates keyStates_;
  std::deque<Pending> queue_;
  std::map<DeviceKey, Fate> fates_;
  // What the user holds on each grabbed keyboard, modifiers included.
  std::map<int, std::set<std::uint32_t>> userKeys_;
  ScheduledTask deadline_;
  ScheduledTask grabRetry_;
  ScheduledTask timedOutRetry_;
  Observation events_;
  Lifetime lifetime_;
};

// The relay process: `socket` leads to the product. Returns the exit status.
int runKeyRelay(int socket);

} // namespace quillon
