#pragma once

#include "platform/Application.h"
#include "platform/LiveServices.h"
#include "platform/Pasteboard.h"
#include "platform/Permissions.h"
#include "platform/Workspace.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimApplications.h"
#include "platform/sim/SimFileIcons.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimObservers.h"

#include <map>
#include <string>
#include <vector>

namespace quillon {

// Every capability is live until a test says otherwise, as on a desktop that
// has them all.
class SimLiveServices final : public LiveServices {
public:
  std::optional<std::string> whyNotLive(Capability capability) const override;
  void markNotLive(Capability capability, std::string reason);
  void markLive(Capability capability) { notLive_.erase(capability); }

private:
  std::map<Capability, std::string> notLive_;
};

class SimPermissions final : public Permissions {
public:
  bool screenCaptureAccess() const override { return screenCapture_; }
  void setScreenCaptureAccess(bool granted) { screenCapture_ = granted; }

private:
  bool screenCapture_ = true;
};

class SimWorkspace final : public Workspace {
public:
  explicit SimWorkspace(SimJournal& journal) : journal_(journal) {}

  std::optional<RunningApplication> frontmostApplication() const override;
  bool activate(const RunningApplication& application, ActivationOptions options) override;
  bool openUrl(std::string_view url) override;
  bool revealInFileManager(std::string_view path) override {
    journal_.record("reveal " + std::string(path));
    revealed_.emplace_back(path);
    return true;
  }
  const std::vector<std::string>& revealedPaths() const { return revealed_; }
  std::vector<RunningApplication> runningApplications() const override { return running_; }
  bool isTerminated(const RunningApplication& application) const override {
    return find(application.processIdentifier) == nullptr;
  }
  Observation observeLaunches(std::function<void(const RunningApplication&)> callback) override {
    return launched_.add(std::move(callback));
  }
  Observation observeWake(std::function<void()> callback) override {
    return woke_.add(std::move(callback));
  }
  Observation observeActivations(std::function<void()> callback) override {
    return activated_.add(std::move(callback));
  }
  // The frontmost application's front window.
  std::optional<std::uint64_t> focusedWindow() const override;
  Observation observeFocusedWindowChanges(std::function<void()> callback) override {
    return focusMoved_.add(std::move(callback));
  }
  // Where the applications' windows are, which decides the focused one.
  void setApplications(const SimApplications& applications) { applications_ = &applications; }
  // Tells the focus observers if the focused window is not the one they
  // last heard of: after a window opened or came to the front.
  void noteFocusMayHaveMoved();

  std::optional<Image> fileIcon(const std::filesystem::path& path) const override;
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image) override;
  void noteFileSystemChanged(const std::filesystem::path& path) override;

  void setFileIcons(SimFileIcons& icons) { icons_ = &icons; }
  // Adds (or replaces, by process identifier) a running application; a new
  // one is announced to the launch observers.
  void launch(RunningApplication application);
  void postWake() const { woke_.post(); }
  void quit(int processIdentifier);
  void setFrontmost(int processIdentifier);
  const std::vector<std::string>& openedUrls() const { return openedUrls_; }

private:
  const RunningApplication* find(int processIdentifier) const;

  SimJournal& journal_;
  SimFileIcons* icons_ = nullptr;
  const SimApplications* applications_ = nullptr;
  std::optional<std::uint64_t> announcedFocus_;
  std::vector<RunningApplication> running_;
  std::optional<int> frontmost_;
  std::vector<std::string> openedUrls_;
  std::vector<std::string> revealed_;
  SimObservers<RunningApplication> launched_;
  SimObservers<> woke_;
  SimObservers<> activated_;
  SimObservers<> focusMoved_;
};

class SimPasteboard final : public Pasteboard {
public:
  long changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override { return items_; }
  std::optional<PasteboardTextStart> stringStart(std::size_t maxBytes) const override;
  bool isConcealed() const override { return itemsConcealed(items_); }
  void clearContents() override;
  void writeItems(std::vector<PasteboardItem> items) override;

private:
  std::vector<PasteboardItem> items_;
  long changeCount_ = 0;
};

class SimApplication final : public Application {
public:
  explicit SimApplication(SimJournal& journal) : journal_(journal) {}

  void setActivationPolicy(ActivationPolicy policy) override;
  // The simulated loop is driven from outside, so run() launches the
  // delegate and returns.
  void run(ApplicationDelegate& delegate) override;
  void terminate() override;
  int processIdentifier() const override { return processIdentifier_; }

  std::optional<ActivationPolicy> activationPolicy() const { return policy_; }
  bool isTerminated() const { return terminated_; }
  bool hasLaunched() const { return launched_; }

private:
  SimJournal& journal_;
  std::optional<ActivationPolicy> policy_;
  bool launched_ = false;
  bool terminated_ = false;
  int processIdentifier_ = 4242;
};

} // namespace quillon
