#pragma once

#include "platform/EventFlags.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quillon {

// What the product and its keyboard relay say to each other: one record per
// message over a socket that keeps message boundaries, so a record is never
// torn and a stale or hostile peer cannot desynchronise the stream.
enum class RelayMessageType : std::uint8_t {
  // Relay to product.
  // A key press (or auto-repeat) awaiting its verdict.
  KeyDown = 1,
  // A modifier went down or up; it has reached the clients already.
  ModifierChanged,
  // No verdict came in time: keys pass through unchanged from now on, under
  // a new epoch, until the product enables the tap again.
  TimedOut,

  // Product to relay.
  // The answer to one KeyDown.
  Verdict,
  // Synthetic keys the product sends to the focused window.
  Press,
  Release,
  PressWithModifiers,
  // A character no key of the current layout types.
  TypeSymbol,
  // Take the keyboards (again) and ask for verdicts; or let them go once
  // the user holds no key.
  Enable,
  Disable,
};

struct RelayMessage {
  RelayMessageType type{};
  // KeyDown: an auto-repeat. ModifierChanged: pressed. Verdict: swallowed.
  std::uint8_t flag = 0;
  // Counts the relay's time-outs; answers and synthetic keys of an older
  // epoch come too late to be applied.
  std::uint32_t epoch = 0;
  std::uint32_t sequence = 0;
  // X keycode.
  std::uint32_t keycode = 0;
  // TypeSymbol: the keysym.
  std::uint32_t symbol = 0;
  EventFlags modifiers = 0;
};

// Sends one message; false when the peer has gone or (without blocking)
// the socket is full.
bool sendRelayMessage(int socket, const RelayMessage& message, bool mayBlock);
// Every message waiting now, without blocking; absent once the peer has
// closed its end. Records of the wrong size or type are dropped.
std::optional<std::vector<RelayMessage>> receiveRelayMessages(int socket);

} // namespace quillon
