#pragma once

#include "platform/Clock.h"
#include "platform/EventFlags.h"
#include "platform/Lifetime.h"
#include "platform/MainQueue.h"
#include "platform/linux/LinuxInputSources.h"
#include "platform/linux/X11Connection.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quillon {

// The keyboard every key the product sends goes through: the core XTest
// device, the only keyboard whose keys reach clients while the tap holds the
// others. It remembers which keys it holds down, so modifiers can be set
// exactly for one key and everything can be let go at once.
class XTestKeyboard {
public:
  // How long a borrowed keycode keeps its character after the press: a
  // client resolves the key only after fetching the changed mapping.
  static constexpr Duration spareKeyHold{0.03};

  XTestKeyboard(X11Connection& connection, LinuxInputSources& sources, MainQueue& mainQueue,
                Clock& clock);
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  void press(std::uint32_t keycode);
  void release(std::uint32_t keycode);
  // Presses the key with exactly these modifiers (Shift, Control, Option,
  // Command), then puts back the modifiers held before.
  void pressWithModifiers(std::uint32_t keycode, EventFlags flags);
  // Each character through the current layout's key, or through a spare
  // keycode mapped to it for the moment; no modifier held whatever the user
  // holds.
  void type(const std::u16string& text);
  // The modifiers this keyboard holds down.
  EventFlags heldModifiers() const;
  // Lets go of every key; safe from any thread.
  void releaseAll();

  // The modifier flag a key stands for, 0 for other keys.
  static EventFlags modifierFlagOf(std::uint32_t keycode);

private:
  struct SpareKey {
    std::uint32_t keycode;
    TimePoint lastUse{};
    std::uint64_t generation = 0;
  };

  void send(std::uint32_t keycode, bool down);
  void typeCharacter(char32_t character);
  void typeThroughSpareKey(char32_t character);
  void restoreSpareKey(std::size_t index, std::uint64_t generation);
  std::vector<std::uint32_t> heldKeysOf(EventFlags flag) const;

  X11Connection& connection_;
  LinuxInputSources& sources_;
  MainQueue& mainQueue_;
  Clock& clock_;
  mutable std::mutex mutex_;
  std::set<std::uint32_t> held_;
  std::vector<SpareKey> spareKeys_;
  std::size_t nextSpareKey_ = 0;
  Lifetime lifetime_;
};

} // namespace quillon
