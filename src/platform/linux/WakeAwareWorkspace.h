#pragma once

#include "platform/Workspace.h"
#include "platform/linux/LogindSleepWatch.h"

namespace quillon {

// The desktop's workspace, with wake from sleep taken from logind: the X
// server knows nothing of sleep. Everything else is the workspace's own.
class WakeAwareWorkspace final : public Workspace {
public:
  WakeAwareWorkspace(Workspace& workspace, LogindSleepWatch& sleep)
      : workspace_(workspace), sleep_(sleep) {}

  Observation observeWake(std::function<void()> callback) override {
    return sleep_.observeWake(std::move(callback));
  }

  std::optional<RunningApplication> frontmostApplication() const override {
    return workspace_.frontmostApplication();
  }
  bool activate(const RunningApplication& application, ActivationOptions options) override {
    return workspace_.activate(application, options);
  }
  bool openUrl(std::string_view url) override { return workspace_.openUrl(url); }
  bool revealInFileManager(std::string_view path) override {
    return workspace_.revealInFileManager(path);
  }
  std::vector<RunningApplication> runningApplications() const override {
    return workspace_.runningApplications();
  }
  bool isTerminated(const RunningApplication& application) const override {
    return workspace_.isTerminated(application);
  }
  Observation observeLaunches(std::function<void(const RunningApplication&)> callback) override {
    return workspace_.observeLaunches(std::move(callback));
  }
  Observation observeActivations(std::function<void()> callback) override {
    return workspace_.observeActivations(std::move(callback));
  }
  std::optional<std::uint64_t> focusedWindow() const override { return workspace_.focusedWindow(); }
  Observation observeFocusedWindowChanges(std::function<void()> callback) override {
    return workspace_.observeFocusedWindowChanges(std::move(callback));
  }
  std::optional<Image> fileIcon(const std::filesystem::path& path) const override {
    return workspace_.fileIcon(path);
  }
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image) override {
    return workspace_.setFolderIcon(folder, image);
  }
  void noteFileSystemChanged(const std::filesystem::path& path) override {
    workspace_.noteFileSystemChanged(path);
  }

private:
  Workspace& workspace_;
  LogindSleepWatch& sleep_;
};

} // namespace quillon
