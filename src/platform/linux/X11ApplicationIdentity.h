#pragma once

#include "platform/Workspace.h"
#include "platform/linux/DesktopEntryIdentity.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowProperties.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace quillon {

// Gives an application its identifier from one of its windows: the desktop
// entry that matches the window, else its class. Remembered per process and
// class, since the position manager asks four times a second.
class X11ApplicationIdentity {
public:
  X11ApplicationIdentity(const X11Connection& connection, DesktopEntryIdentity entries)
      : connection_(connection), properties_(connection), entries_(std::move(entries)) {}

  // Replaces the class the workspace gave as the application's identifier;
  // `shownIn` is a window that may be the application's.
  void identify(RunningApplication& application, std::optional<std::uint64_t> shownIn);

private:
  std::optional<X11Window> windowOf(int process, std::optional<std::uint64_t> shownIn) const;
  WindowNames namesOf(X11Window window) const;

  const X11Connection& connection_;
  X11WindowProperties properties_;
  DesktopEntryIdentity entries_;
  std::map<std::pair<int, std::string>, std::string, std::less<>> known_;
};

} // namespace quillon
