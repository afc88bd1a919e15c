#pragma once

#include "platform/Accessibility.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

#include <filesystem>
#include <functional>

namespace quillon {

// Watches the file manager (the Finder, or a desktop's own: see
// FileManagers.h) for new windows and reports the folder each one shows.
// It follows the file manager across relaunches.
class FinderWindowWatcher {
public:
  using OnFolderOpened = std::function<void(const std::filesystem::path& folder)>;

  static constexpr std::string_view FinderBundleIdentifier = "com.apple.finder";
  // A new window names its folder only once it has loaded it.
  static constexpr Duration DocumentReadDelay{0.15};
  // What the accessibility service answers when it cannot observe a
  // process ("cannot complete").
  static constexpr int ObserverFailureCode = -25204;

  FinderWindowWatcher(Workspace& workspace, Accessibility& accessibility, MainQueue& mainQueue,
                      Log& log)
      : workspace_(workspace), accessibility_(accessibility), mainQueue_(mainQueue), log_(log) {}
  FinderWindowWatcher(const FinderWindowWatcher&) = delete;
  FinderWindowWatcher& operator=(const FinderWindowWatcher&) = delete;

  // Set before start().
  void setOnFolderOpened(OnFolderOpened callback) { onFolderOpened_ = std::move(callback); }
  void start();
  int attachedProcess() const { return attachedPID_; }

private:
  void attach();
  void windowCreated(const AXElement& window);
  void readDocument(const AXElement& window);

  Workspace& workspace_;
  Accessibility& accessibility_;
  MainQueue& mainQueue_;
  Log& log_;
  Observation observer_;
  int attachedPID_ = 0;
  Observation launchToken_;
  OnFolderOpened onFolderOpened_;
  Lifetime lifetime_;
};

} // namespace quillon
