#include "platform/linux/LinuxWorkspace.h"

#include "platform/ObservationList.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <filesystem>
#include <glib.h>
#include <set>
#include <signal.h>
#include <spawn.h>

extern char** environ;

namespace quillon {

namespace {

constexpr long kSourcePager = 2;

template <typename Value>
std::vector<Value> readCardinals(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<Value> values;
  if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format,
                         &count, &after, &data) != Success ||
      data == nullptr) {
    return values;
  }
  if (format == 32) {
    // Format 32 arrives as longs whatever their size on the wire.
    const auto* longs = reinterpret_cast<const unsigned long*>(data);
    for (unsigned long index = 0; index < count; ++index) {
      values.push_back(static_cast<Value>(longs[index]));
    }
  }
  XFree(data);
  return values;
}

std::optional<std::string> executableOf(int process) {
  std::error_code error;
  const auto path =
      std::filesystem::read_symlink("/proc/" + std::to_string(process) + "/exe", error);
  if (error) {
    return std::nullopt;
  }
  return path.string();
}

} // namespace

LinuxWorkspace::LinuxWorkspace(X11Connection& connection)
    : connection_(connection), activeWindowAtom_(connection.atom("_NET_ACTIVE_WINDOW")),
      clientListAtom_(connection.atom("_NET_CLIENT_LIST")) {
  XWindowAttributes attributes;
  XGetWindowAttributes(connection_.display(), connection_.root(), &attributes);
  XSelectInput(connection_.display(), connection_.root(),
               attributes.your_event_mask | PropertyChangeMask);
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
  if (const auto front = frontmostApplication()) {
    lastActiveProcess_ = front->processIdentifier;
  }
  lastFocused_ = activeWindow();
  for (const RunningApplication& application : runningApplications()) {
    knownProcesses_.push_back(application.processIdentifier);
  }
}

std::optional<Window> LinuxWorkspace::activeWindow() const {
  const auto windows = readCardinals<Window>(connection_.display(), connection_.root(),
                                             activeWindowAtom_, XA_WINDOW);
  if (windows.empty() || windows.front() == None) {
    return std::nullopt;
  }
  return windows.front();
}

std::vector<Window> LinuxWorkspace::clientWindows() const {
  return readCardinals<Window>(connection_.display(), connection_.root(), clientListAtom_,
                               XA_WINDOW);
}

std::optional<RunningApplication> LinuxWorkspace::applicationOf(Window window) const {
  const auto processes = readCardinals<int>(connection_.display(), window,
                                            connection_.atom("_NET_WM_PID"), XA_CARDINAL);
  if (processes.empty() || processes.front() <= 0) {
    return std::nullopt;
  }
  RunningApplication application;
  application.processIdentifier = processes.front();
  XClassHint hint{nullptr, nullptr};
  if (XGetClassHint(connection_.display(), window, &hint) != 0) {
    if (hint.res_class != nullptr) {
      application.bundleIdentifier = std::string(hint.res_class);
      application.localizedName = hint.res_class;
    }
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  application.executablePath = executableOf(application.processIdentifier);
  return application;
}

// A window without its process named yet is asked again next time: it
// may name it soon after it becomes active.
std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() const {
  if (!frontmost_) {
    const auto window = activeWindow();
    frontmost_ = window ? applicationOf(*window) : std::nullopt;
  }
  return frontmost_;
}

std::vector<RunningApplication> LinuxWorkspace::runningApplications() const {
  std::vector<RunningApplication> applications;
  std::set<int> seen;
  for (const Window window : clientWindows()) {
    auto application = applicationOf(window);
    if (application && seen.insert(application->processIdentifier).second) {
      applications.push_back(std::move(*application));
    }
  }
  return applications;
}

bool LinuxWorkspace::isTerminated(const RunningApplication& application) const {
  return kill(application.processIdentifier, 0) != 0 && errno == ESRCH;
}

bool LinuxWorkspace::activate(const RunningApplication& application, ActivationOptions) {
  for (const Window window : clientWindows()) {
    const auto owner = applicationOf(window);
    if (!owner || owner->processIdentifier != application.processIdentifier) {
      continue;
    }
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = activeWindowAtom_;
    message.xclient.format = 32;
    message.xclient.data.l[0] = kSourcePager;
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection_.display(), connection_.root(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
    connection_.flush();
    return true;
  }
  return false;
}

bool LinuxWorkspace::openUrl(std::string_view url) {
  const std::string opener = "/usr/bin/xdg-open";
  const std::string target(url);
  std::vector<char*> arguments{const_cast<char*>(opener.c_str()), const_cast<char*>(target.c_str()),
                               nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, opener.c_str(), nullptr, nullptr, arguments.data(), environ) != 0) {
    return false;
  }
  // Without a desktop environment xdg-open runs the browser itself and stays
  // until it closes, so it is reaped by the main loop rather than waited for.
  g_child_watch_add(
      child, [](GPid, gint, gpointer) {}, nullptr);
  return true;
}

Observation
LinuxWorkspace::observeLaunches(std::function<void(const RunningApplication&)> callback) {
  auto shared =
      std::make_shared<std::function<void(const RunningApplication&)>>(std::move(callback));
  return observeAsListEntry(launchCallbacks_, std::move(shared));
}

// Sleep and wake are the session manager's business, which this desktop
// does not announce to X clients.
Observation LinuxWorkspace::observeWake(std::function<void()>) {
  return Observation();
}

std::optional<std::uint64_t> LinuxWorkspace::focusedWindow() const {
  if (!activeWindow_) {
    activeWindow_ = activeWindow();
  }
  return *activeWindow_ ? std::optional<std::uint64_t>(**activeWindow_) : std::nullopt;
}

Observation LinuxWorkspace::observeFocusedWindowChanges(std::function<void()> callback) {
  auto shared = std::make_shared<std::function<void()>>(std::move(callback));
  return observeAsListEntry(focusCallbacks_, std::move(shared));
}

// Every change of the active window, not only of its process: two windows
// of one application are two places to type.
void LinuxWorkspace::noticeFocusMove() {
  const auto focused = focusedWindow();
  const std::optional<X11Window> window =
      focused ? std::optional<X11Window>(static_cast<X11Window>(*focused)) : std::nullopt;
  if (window == lastFocused_) {
    return;
  }
  lastFocused_ = window;
  const auto callbacks = focusCallbacks_;
  for (const auto& callback : callbacks) {
    (*callback)();
  }
}

Observation LinuxWorkspace::observeActivations(std::function<void()> callback) {
  auto shared = std::make_shared<std::function<void()>>(std::move(callback));
  return observeAsListEntry(activationCallbacks_, std::move(shared));
}

void LinuxWorkspace::onEvent(XEvent& event) {
  if (event.type != PropertyNotify || event.xproperty.window != connection_.root()) {
    return;
  }
  if (event.xproperty.atom == activeWindowAtom_) {
    frontmost_.reset();
    activeWindow_.reset();
    noticeActivation();
    noticeFocusMove();
  } else if (event.xproperty.atom == clientListAtom_ && !launchCallbacks_.empty()) {
    for (const RunningApplication& application : runningApplications()) {
      if (std::find(knownProcesses_.begin(), knownProcesses_.end(),
                    application.processIdentifier) != knownProcesses_.end()) {
        continue;
      }
      knownProcesses_.push_back(application.processIdentifier);
      const auto callbacks = launchCallbacks_;
      for (const auto& callback : callbacks) {
        (*callback)(application);
      }
    }
  }
}

void LinuxWorkspace::noticeActivation() {
  const auto front = frontmostApplication();
  const std::optional<int> process =
      front ? std::optional<int>(front->processIdentifier) : std::nullopt;
  if (process == lastActiveProcess_ || !process) {
    return;
  }
  lastActiveProcess_ = process;
  const auto callbacks = activationCallbacks_;
  for (const auto& callback : callbacks) {
    (*callback)();
  }
}

} // namespace quillon
