#pragma once

#include "platform/linux/X11Connection.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Reads of other clients' window properties. A window that went away, or a
// property of another type, reads as nothing: the protocol error it causes
// is the connection's to ignore, and the caller sees an empty answer.
class X11WindowProperties {
public:
  explicit X11WindowProperties(const X11Connection& connection) : connection_(connection) {}

  X11Atom atom(const char* name) const { return connection_.atom(name); }

  // CARDINAL, WINDOW or ATOM lists (all 32-bit on the wire).
  std::vector<unsigned long> longs(X11Window window, X11Atom property, X11Atom type) const;
  std::vector<unsigned long> cardinals(X11Window window, const char* property) const;
  std::vector<X11Window> windows(X11Window window, const char* property) const;
  std::vector<X11Atom> atoms(X11Window window, const char* property) const;
  std::optional<std::string> utf8(X11Window window, const char* property) const;
  // STRING, as older clients publish text: its bytes as they are.
  std::optional<std::string> string(X11Window window, const char* property) const;
  // Sends a client message about `window` to the window manager, as a pager
  // would (source 2): managers honour such requests without asking.
  void sendToWindowManager(X11Window window, const char* messageType,
                           const std::vector<long>& data) const;

  static constexpr long SourcePager = 2;

private:
  std::optional<std::string> text(X11Window window, const char* property, X11Atom type) const;

  const X11Connection& connection_;
};

} // namespace quillon
