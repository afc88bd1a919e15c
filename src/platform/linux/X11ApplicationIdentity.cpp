#include "platform/linux/X11ApplicationIdentity.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quillon {

namespace {

bool namesProcess(const X11WindowProperties& properties, X11Window window, int process) {
  const auto named = properties.cardinals(window, "_NET_WM_PID");
  return !named.empty() && static_cast<int>(named.front()) == process;
}

} // namespace

std::optional<X11Window>
X11ApplicationIdentity::windowOf(int process, std::optional<std::uint64_t> shownIn) const {
  if (shownIn && namesProcess(properties_, static_cast<X11Window>(*shownIn), process)) {
    return static_cast<X11Window>(*shownIn);
  }
  for (const X11Window window : properties_.windows(connection_.root(), "_NET_CLIENT_LIST")) {
    if (namesProcess(properties_, window, process)) {
      return window;
    }
  }
  return std::nullopt;
}

WindowNames X11ApplicationIdentity::namesOf(X11Window window) const {
  WindowNames names;
  XClassHint hint{nullptr, nullptr};
  if (XGetClassHint(connection_.display(), window, &hint) != 0) {
    names.instance = hint.res_name != nullptr ? hint.res_name : "";
    names.windowClass = hint.res_class != nullptr ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  names.gtkApplicationId = properties_.utf8(window, "_GTK_APPLICATION_ID");
  return names;
}

void X11ApplicationIdentity::identify(RunningApplication& application,
                                      std::optional<std::uint64_t> shownIn) {
  if (!application.bundleIdentifier) {
    return;
  }
  const auto key = std::make_pair(application.processIdentifier, *application.bundleIdentifier);
  if (const auto found = known_.find(key); found != known_.end()) {
    application.bundleIdentifier = found->second;
    return;
  }
  const auto window = windowOf(application.processIdentifier, shownIn);
  if (!window) {
    return;
  }
  const std::string identity = entries_.identify(namesOf(*window));
  if (identity.empty()) {
    return;
  }
  known_.emplace(key, identity);
  application.bundleIdentifier = identity;
}

} // namespace quillon
