#pragma once

#include "platform/Clock.h"
#include "platform/EventFlags.h"
#include "platform/MainQueue.h"
#include "platform/linux/X11Connection.h"

#include <cstdint>
#include <set>
#include <vector>

namespace quillon {

// The keyboard every key the clients see goes through: the core XTest
// device, the only keyboard whose keys reach them while the relay holds the
// others. It remembers which keys it holds down, so modifiers can be set
// exactly for one key and everything can be let go at once.
class XTestKeyboard {
public:
  // A client resolves a borrowed keycode through the mapping it fetches
  // after the change was announced, which a busy client does late: the
  // keycode keeps its character at least this long before it may carry
  // another one.
  static constexpr Duration spareKeyReuseAge{1.0};
  // Put back to no character once unused this long, so the mapping the
  // session sees is its own again.
  static constexpr Duration spareKeyRestoreDelay{3.0};

  XTestKeyboard(X11Connection& connection, MainQueue& mainQueue, Clock& clock);
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;
  // Restores every borrowed keycode.
  ~XTestKeyboard();

  void press(std::uint32_t keycode);
  void release(std::uint32_t keycode);
  // Presses the key with exactly these modifiers (Shift, Control, Option,
  // Command), then puts back the modifiers held before.
  void pressWithModifiers(std::uint32_t keycode, EventFlags flags);
  // Types a keysym no key of the current layout carries, through a spare
  // keycode mapped to it for the while.
  void typeSymbol(std::uint32_t keysym);
  // The modifiers this keyboard holds down.
  EventFlags heldModifiers() const;
  bool holdsKeys() const { return !held_.empty(); }
  // Lets go of every key it holds.
  void releaseAll();

  // The modifier flag a key stands for, 0 for other keys.
  static EventFlags modifierFlagOf(std::uint32_t keycode);

private:
  struct SpareKey {
    std::uint32_t keycode = 0;
    std::uint32_t keysym = 0;
    TimePoint lastUse{};
    ScheduledTask restore;
  };

  void send(std::uint32_t keycode, bool down);
  SpareKey& spareKeyFor(std::uint32_t keysym);
  void map(SpareKey& spare, std::uint32_t keysym);
  std::vector<std::uint32_t> heldKeysOf(EventFlags flag) const;

  X11Connection& connection_;
  MainQueue& mainQueue_;
  Clock& clock_;
  std::set<std::uint32_t> held_;
  std::vector<SpareKey> spareKeys_;
};

} // namespace quillon
