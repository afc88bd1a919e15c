#pragma once

#include "finder/FolderListing.h"
#include "finder/PeekPanel.h"
#include "platform/Accessibility.h"
#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Screens.h"
#include "platform/UserInterface.h"
#include "platform/Workspace.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace quillon {

// Shows a folder's contents in a small floating panel without opening it:
// while Command is held, pointing at a folder opens the panel next to it;
// a plain click on a folder opens it "sticky", until the user clicks
// elsewhere. The folder under the pointer is whatever the accessibility
// tree there names with a file address.
class FolderPeek {
public:
  struct Dependencies {
    UserInterface& userInterface;
    EventTaps& eventTaps;
    Accessibility& accessibility;
    Workspace& workspace;
    Screens& screens;
    MainQueue& mainQueue;
    BackgroundQueue& backgroundQueue;
    const Clock& clock;
    const Localization& localization;
    Log& log;
  };

  // A found folder: its path and the screen frame of its icon, if known.
  struct Hit {
    std::filesystem::path folder;
    std::optional<Rect> frame;
  };

  static constexpr Duration MinQueryInterval{0.08};
  static constexpr double PanelGraceMargin = 24;
  static constexpr double FolderGraceMargin = 8;
  static constexpr Duration MessagingTimeout{0.1};
  // The element hit and this many less one of its ancestors.
  static constexpr int MaximumElementsExamined = 6;
  // Bigger elements are windows or lists, not a folder's icon.
  static constexpr double LargestIconSide = 200;
  static constexpr std::size_t MaximumEntries = 16;
  static constexpr double PanelGap = 16;
  static constexpr double ScreenEdgeMargin = 8;
  // A press and release further apart than this is a drag.
  static constexpr double ClickSlop = 5;
  static constexpr double ClickPeekDelayFactor = 0.15;
  static constexpr Duration MinimumClickPeekDelay{0.03};
  static constexpr std::string_view FinderBundleIdentifier = "com.apple.finder";

  explicit FolderPeek(Dependencies dependencies);
  FolderPeek(const FolderPeek&) = delete;
  FolderPeek& operator=(const FolderPeek&) = delete;

  void start();
  void stop();
  bool isRunning() const { return isRunning_; }

  // The folder under a screen point, with the frame of its icon.
  std::optional<Hit> folderURLUnderCursor(Point point);
  // Where the panel of a size goes for a folder icon's frame, or the
  // pointer when the frame is unknown.
  Point panelOrigin(Size panel, const std::optional<Rect>& folderFrame, Point pointer) const;

  const PeekPanel* panel() const { return panel_.get(); }
  const std::optional<std::filesystem::path>& currentFolder() const { return currentURL_; }
  bool isSticky() const { return isSticky_; }

private:
  void mouseMoved(const Event& event);
  void scheduleQuery();
  void runQuery();
  void leftMouseDown(const Event& event);
  void leftMouseUp(const Event& event);
  void scheduleClickPeek(const Hit& hit, Point pointer);
  void otherApplicationActivated();
  void showPanel(const std::filesystem::path& folder, Point pointer);
  void hidePanel();
  bool isPanelVisible() const;
  bool isInActiveZone(Point point) const;
  bool isInsideGrownPanel(Point point) const;
  Duration clickPeekDelay() const;
  std::optional<Hit> qualifyingElement(const AXElement& element);

  Dependencies services_;
  FolderListing listing_;
  Observation mouseMonitor_;
  Observation flagsMonitor_;
  Observation mouseDownMonitor_;
  Observation mouseUpMonitor_;
  Observation appActivationObserver_;
  std::unique_ptr<PeekPanel> panel_;
  std::optional<std::filesystem::path> currentURL_;
  std::optional<Rect> anchorFolderRect_;
  std::optional<TimePoint> lastQueryAt_;
  ScheduledTask pendingQuery_;
  ScheduledTask pendingClickPeek_;
  Point lastMouseDownAt_;
  TimePoint lastMouseDownTime_;
  bool isSticky_ = false;
  bool skipNextPeek_ = false;
  bool stickyEntered_ = false;
  bool isRunning_ = false;
  AXElement systemElement_;
  Lifetime lifetime_;
};

} // namespace quillon
