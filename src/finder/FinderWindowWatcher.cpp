#include "finder/FinderWindowWatcher.h"

#include "finder/FileManagers.h"
#include "finder/FileUrl.h"

namespace quillon {

void FinderWindowWatcher::start() {
  attach();
  launchToken_ = workspace_.observeLaunches([this](const RunningApplication& launched) {
    if (isFileManager(launched.bundleIdentifier)) {
      attachedPID_ = 0;
      attach();
    }
  });
}

void FinderWindowWatcher::attach() {
  std::optional<RunningApplication> finder;
  for (const RunningApplication& running : workspace_.runningApplications()) {
    if (isFileManager(running.bundleIdentifier)) {
      finder = running;
      break;
    }
  }
  if (!finder) {
    log_.write("Quillon FinderWindowWatcher: Finder not running yet");
    return;
  }
  if (finder->processIdentifier == attachedPID_) {
    return;
  }
  // Set first, so a failure below is not retried until the next launch.
  attachedPID_ = finder->processIdentifier;
  observer_ = accessibility_.observe(attachedPID_, ax::WindowCreated,
                                     [this](const AXElement& window) { windowCreated(window); });
  if (!observer_.isActive()) {
    log_.write("Quillon FinderWindowWatcher: AXObserverCreate failed " +
               std::to_string(ObserverFailureCode));
    return;
  }
  log_.write("Quillon FinderWindowWatcher: attached to Finder pid=" + std::to_string(attachedPID_));
}

void FinderWindowWatcher::windowCreated(const AXElement& window) {
  mainQueue_.asyncAfter(DocumentReadDelay,
                        lifetime_.guard([this, window] { readDocument(window); }));
}

void FinderWindowWatcher::readDocument(const AXElement& window) {
  const auto document =
      axValueAs<std::string>(accessibility_.copyAttributeValue(window, ax::Document));
  const auto folder = document ? FileUrl::path(*document) : std::nullopt;
  if (!folder) {
    return;
  }
  log_.write("Quillon FinderWindowWatcher: window opened for " + folder->string());
  if (onFolderOpened_) {
    onFolderOpened_(*folder);
  }
}

} // namespace quillon
