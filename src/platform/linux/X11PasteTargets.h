#pragma once

#include "platform/PasteTargets.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowProperties.h"

#include <memory>
#include <string_view>

namespace quillon {

// The window the window manager names active (_NET_ACTIVE_WINDOW) as the
// place to paste into: brought back with a pager's activation request, and
// pasted into with Control+V, or Control+Shift+V where its WM_CLASS names a
// terminal.
class X11PasteTargets final : public PasteTargets {
public:
  explicit X11PasteTargets(X11Connection& connection);
  ~X11PasteTargets() override;
  X11PasteTargets(const X11PasteTargets&) = delete;
  X11PasteTargets& operator=(const X11PasteTargets&) = delete;

  std::unique_ptr<PasteTarget> focusedWindow() override;

  // Whether a window of this WM_CLASS instance or class is a terminal,
  // whose programs take Control+V for themselves.
  static bool isTerminalClass(std::string_view name);

  // The X server's time now, as a window manager wants it with an
  // activation request.
  unsigned long serverTime() const;

private:
  class Target;

  X11Connection& connection_;
  X11WindowProperties properties_;
  // A window of our own whose property changes carry the server's time.
  X11Window clockWindow_ = 0;
  X11Atom clockProperty_ = 0;
};

} // namespace quillon
