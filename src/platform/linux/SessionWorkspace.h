#pragma once

#include "platform/Workspace.h"
#include "platform/linux/GioFolderIcons.h"
#include "platform/linux/LogindSleepWatch.h"
#include "platform/linux/X11ApplicationIdentity.h"

namespace quillon {

// The desktop's workspace as the session knows it: wake from sleep comes
// from logind, as the X server knows nothing of sleep, and applications are
// named by their desktop entries, and file icons are GIO's. Everything else
// is the workspace's own.
class SessionWorkspace final : public Workspace {
public:
  SessionWorkspace(Workspace& workspace, LogindSleepWatch& sleep, X11ApplicationIdentity& identity,
                   GioFolderIcons& icons)
      : workspace_(workspace), sleep_(sleep), identity_(identity), icons_(icons) {}

  Observation observeWake(std::function<void()> callback) override {
    return sleep_.observeWake(std::move(callback));
  }

  std::optional<RunningApplication> frontmostApplication() const override {
    auto application = workspace_.frontmostApplication();
    if (application) {
      identity_.identify(*application, workspace_.focusedWindow());
    }
    return application;
  }
  bool activate(const RunningApplication& application, ActivationOptions options) override {
    return workspace_.activate(application, options);
  }
  bool openUrl(std::string_view url) override { return workspace_.openUrl(url); }
  bool revealInFileManager(std::string_view path) override {
    return workspace_.revealInFileManager(path);
  }
  std::vector<RunningApplication> runningApplications() const override {
    auto applications = workspace_.runningApplications();
    for (RunningApplication& application : applications) {
      identity_.identify(application, std::nullopt);
    }
    return applications;
  }
  bool isTerminated(const RunningApplication& application) const override {
    return workspace_.isTerminated(application);
  }
  Observation observeLaunches(std::function<void(const RunningApplication&)> callback) override {
    return workspace_.observeLaunches(
        [this, callback = std::move(callback)](const RunningApplication& launched) {
          RunningApplication named = launched;
          identity_.identify(named, std::nullopt);
          callback(named);
        });
  }
  Observation observeActivations(std::function<void()> callback) override {
    return workspace_.observeActivations(std::move(callback));
  }
  std::optional<std::uint64_t> focusedWindow() const override { return workspace_.focusedWindow(); }
  Observation observeFocusedWindowChanges(std::function<void()> callback) override {
    return workspace_.observeFocusedWindowChanges(std::move(callback));
  }
  std::optional<Image> fileIcon(const std::filesystem::path& path) const override {
    return icons_.iconFor(path);
  }
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image) override {
    return icons_.setFolderIcon(folder, image);
  }
  void noteFileSystemChanged(const std::filesystem::path& path) override { icons_.touch(path); }

private:
  Workspace& workspace_;
  LogindSleepWatch& sleep_;
  X11ApplicationIdentity& identity_;
  GioFolderIcons& icons_;
};

} // namespace quillon
