#include "platform/sim/SimApplications.h"

#include <algorithm>

namespace quillon {

const SimApplicationWindows* SimApplications::find(int processIdentifier) const {
  const auto found = applications_.find(processIdentifier);
  return found == applications_.end() ? nullptr : &found->second;
}

std::uint32_t SimApplications::openWindow(int processIdentifier, const Rect& frame,
                                          std::string title) {
  SimWindow window;
  window.number = nextWindowNumber_++;
  window.title = std::move(title);
  moveWindow(window, frame);
  auto& windows = application(processIdentifier).windows;
  windows.insert(windows.begin(), std::move(window));
  const std::uint32_t number = windows.front().number;
  windowOpened_.post(processIdentifier, number);
  return number;
}

void SimApplications::openWindowAfter(int processIdentifier, Duration delay, const Rect& frame) {
  mainQueue_.asyncAfter(delay,
                        [this, processIdentifier, frame] { openWindow(processIdentifier, frame); });
}

SimWindow* SimApplications::window(std::uint32_t number) {
  for (auto& [processIdentifier, application] : applications_) {
    for (SimWindow& window : application.windows) {
      if (window.number == number) {
        return &window;
      }
    }
  }
  return nullptr;
}

const SimWindow* SimApplications::focusedWindow(int processIdentifier) const {
  const SimApplicationWindows* application = find(processIdentifier);
  if (application == nullptr || application->windows.empty()) {
    return nullptr;
  }
  return &application->windows.front();
}

bool SimApplications::focusRearmostWindow(int processIdentifier) {
  auto& windows = application(processIdentifier).windows;
  if (windows.size() < 2) {
    return false;
  }
  std::rotate(windows.begin(), windows.end() - 1, windows.end());
  return true;
}

std::optional<int> SimApplications::owner(std::uint32_t number) const {
  for (const auto& [processIdentifier, application] : applications_) {
    for (const SimWindow& window : application.windows) {
      if (window.number == number) {
        return processIdentifier;
      }
    }
  }
  return std::nullopt;
}

Rect SimApplications::frame(const SimWindow& window) const {
  const double primaryHeight = screens_.primaryHeight();
  return {{window.position.x, primaryHeight - window.position.y - window.size.height}, window.size};
}

void SimApplications::moveWindow(SimWindow& window, const Rect& frame) {
  const double primaryHeight = screens_.primaryHeight();
  window.position = {frame.origin.x, primaryHeight - frame.origin.y - frame.size.height};
  window.size = frame.size;
}

void SimApplications::addFileElement(int processIdentifier, std::string url, const Rect& frame) {
  const double primaryHeight = screens_.primaryHeight();
  application(processIdentifier)
      .fileElements.push_back({std::move(url),
                               {frame.origin.x, primaryHeight - frame.origin.y - frame.size.height},
                               frame.size});
}

} // namespace quillon
