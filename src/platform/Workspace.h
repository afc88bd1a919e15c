// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// A snapshot of a running application. It names the process rather than
// owning it, so holding one is a weak reference: the application may be gone.
struct RunningApplication {
  int processIdentifier = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> bundlePath;
  std::optional<std::string> executablePath;
  std::string localizedName;
  friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

enum class ActivationOptions : unsigned { None = 0, AllWindows = 1, IgnoringOtherApps = 2 };

class Workspace {
public:
  virtual ~Workspace() = default;
  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
  // False when the application is no longer running.
  virtual bool activate(const RunningApplication& application, ActivationOptions options) = 0;
  virtual bool openUrl(std::string_view url) = 0;

  // Ends the observation it was returned from when destroyed.
  class Observation {
  public:
    virtual ~Observation() = default;
  };
  // Calls onActivation on the main queue each time an application becomes
  // the active one.
  [[nodiscard]] virtual std::unique_ptr<Observation>
  observeActivations(std::function<void()> onActivation) = 0;
};

} // namespace quillon
