#pragma once

#include "platform/Workspace.h"
#include "platform/linux/X11Connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillon {

// Applications as the window manager sees them: the active window names the
// frontmost one through its process identifier and WM_CLASS, whose class
// stands in for the bundle identifier; the executable comes from /proc.
class LinuxWorkspace final : public Workspace {
public:
  explicit LinuxWorkspace(X11Connection& connection);
  LinuxWorkspace(const LinuxWorkspace&) = delete;
  LinuxWorkspace& operator=(const LinuxWorkspace&) = delete;

  std::optional<RunningApplication> frontmostApplication() const override;
  bool activate(const RunningApplication& application, ActivationOptions options) override;
  bool openUrl(std::string_view url) override;
  std::vector<RunningApplication> runningApplications() const override;
  bool isTerminated(const RunningApplication& application) const override;
  Observation observeLaunches(std::function<void(const RunningApplication&)> callback) override;
  Observation observeWake(std::function<void()> callback) override;
  Observation observeActivations(std::function<void()> callback) override;
  std::optional<std::uint64_t> focusedWindow() const override;
  Observation observeFocusedWindowChanges(std::function<void()> callback) override;

  // The application owning a top-level window, when the window names its
  // process.
  std::optional<RunningApplication> applicationOf(X11Window window) const;

private:
  void onEvent(XEvent& event);
  std::optional<X11Window> activeWindow() const;
  std::vector<X11Window> clientWindows() const;
  void noticeActivation();
  void noticeFocusMove();

  X11Connection& connection_;
  X11Atom activeWindowAtom_;
  X11Atom clientListAtom_;
  std::optional<int> lastActiveProcess_;
  // The frontmost application as last read, until the window manager names
  // another active window. The tap asks on every key, and three round trips
  // a key would let a fast typist's events pile up behind the replies.
  mutable std::optional<RunningApplication> frontmost_;
  // The active window as last read, for the same reason; it changes more
  // often than the application, and windows need not name their process.
  mutable std::optional<std::optional<X11Window>> activeWindow_;
  std::optional<X11Window> lastFocused_;
  std::vector<std::shared_ptr<std::function<void()>>> focusCallbacks_;
  std::vector<int> knownProcesses_;
  std::vector<std::shared_ptr<std::function<void()>>> activationCallbacks_;
  std::vector<std::shared_ptr<std::function<void(const RunningApplication&)>>> launchCallbacks_;
  Observation events_;
};

} // namespace quillon
