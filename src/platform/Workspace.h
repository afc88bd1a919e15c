// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Application.h"
#include "platform/Image.h"
#include "platform/Observation.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A snapshot of a running application. It names the process rather than
// owning it, so holding one is a weak reference: the application may be gone.
struct RunningApplication {
  int processIdentifier = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> bundlePath;
  std::optional<std::string> executablePath;
  std::string localizedName;
  ActivationPolicy activationPolicy = ActivationPolicy::Regular;
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
  // Shows the file selected in a file-manager window.
  virtual bool revealInFileManager(std::string_view path) {
    (void)path;
    return false;
  }
  // In the workspace's own order.
  virtual std::vector<RunningApplication> runningApplications() const = 0;
  virtual bool isTerminated(const RunningApplication& application) const = 0;
  // Both call back on the main queue.
  virtual Observation observeLaunches(std::function<void(const RunningApplication&)> callback) = 0;
  virtual Observation observeWake(std::function<void()> callback) = 0;
  // Calls back on the main queue each time another application becomes the
  // active one.
  virtual Observation observeActivations(std::function<void()> callback) = 0;
  // The window with the keyboard focus, by a number no other window shares
  // while it lives; absent when none has it or the desktop cannot say. Two
  // windows of one application, or of processes that do not name
  // themselves, differ here where the frontmost application does not.
  virtual std::optional<std::uint64_t> focusedWindow() const { return std::nullopt; }
  // Calls back on the main queue each time the focus moves to another
  // window, whether or not of the same application.
  virtual Observation observeFocusedWindowChanges(std::function<void()> callback) {
    (void)callback;
    return Observation();
  }

  // The icon the file manager shows for a file or folder, at its largest.
  virtual std::optional<Image> fileIcon(const std::filesystem::path&) const { return std::nullopt; }
  // Gives a folder its own icon, or with no image puts its usual one back.
  // False when the folder keeps the icon it had.
  virtual bool setFolderIcon(const std::filesystem::path&, const Image*) { return false; }
  // Tells the file manager to redraw what it shows of this path.
  virtual void noteFileSystemChanged(const std::filesystem::path&) {}
};

} // namespace quillon
