#include "finder/FolderPeek.h"

#include "finder/FileManagers.h"
#include "finder/FileUrl.h"
#include "finder/FolderListing.h"

#include <algorithm>

namespace quillon {

namespace {

Rect grown(const Rect& rect, double margin) {
  return {{rect.origin.x - margin, rect.origin.y - margin},
          {rect.size.width + 2 * margin, rect.size.height + 2 * margin}};
}

bool contains(const Rect& rect, Point point) {
  return point.x >= rect.origin.x && point.x <= rect.origin.x + rect.size.width &&
         point.y >= rect.origin.y && point.y <= rect.origin.y + rect.size.height;
}

constexpr EventFlags clickModifiers = flag::Shift | flag::Control | flag::Option | flag::Command;

} // namespace

FolderPeek::FolderPeek(Dependencies dependencies)
    : services_(dependencies), systemElement_(services_.accessibility.systemWideElement()) {
  services_.accessibility.setMessagingTimeout(systemElement_, MessagingTimeout);
}

void FolderPeek::start() {
  if (isRunning_) {
    return;
  }
  isRunning_ = true;
  // The monitors end with this object, so their handlers may hold it.
  UserInterface& ui = services_.userInterface;
  mouseMonitor_ = ui.addGlobalMonitor(eventMaskBit(EventType::MouseMoved),
                                      [this](const Event& e) { mouseMoved(e); });
  // Modifier changes alone do nothing: the next pointer move decides.
  flagsMonitor_ = ui.addGlobalMonitor(eventMaskBit(EventType::FlagsChanged), [](const Event&) {});
  mouseDownMonitor_ = ui.addGlobalMonitor(eventMaskBit(EventType::LeftMouseDown),
                                          [this](const Event& e) { leftMouseDown(e); });
  mouseUpMonitor_ = ui.addGlobalMonitor(eventMaskBit(EventType::LeftMouseUp),
                                        [this](const Event& e) { leftMouseUp(e); });
  appActivationObserver_ =
      services_.workspace.observeActivations([this] { otherApplicationActivated(); });
}

void FolderPeek::stop() {
  if (!isRunning_) {
    return;
  }
  isRunning_ = false;
  mouseMonitor_.stop();
  flagsMonitor_.stop();
  mouseDownMonitor_.stop();
  mouseUpMonitor_.stop();
  appActivationObserver_.stop();
  pendingQuery_.cancel();
  pendingClickPeek_.cancel();
  hidePanel();
}

bool FolderPeek::isPanelVisible() const {
  return panel_ && panel_->isVisible();
}

bool FolderPeek::isInsideGrownPanel(Point point) const {
  const auto frame = panel_ ? panel_->frame() : std::nullopt;
  return isPanelVisible() && frame && contains(grown(*frame, PanelGraceMargin), point);
}

bool FolderPeek::isInActiveZone(Point point) const {
  if (isInsideGrownPanel(point)) {
    return true;
  }
  return anchorFolderRect_ && contains(grown(*anchorFolderRect_, FolderGraceMargin), point);
}

void FolderPeek::mouseMoved(const Event& event) {
  const Point pointer = services_.eventTaps.pointerLocation();
  if (isInActiveZone(pointer)) {
    if (isSticky_) {
      stickyEntered_ = true;
    }
    return;
  }
  if ((event.flags() & flag::Command) != 0) {
    scheduleQuery();
    return;
  }
  // A panel opened by a click stays until the pointer has been to it.
  if (isSticky_ && !stickyEntered_) {
    return;
  }
  if (isPanelVisible()) {
    hidePanel();
  }
}

void FolderPeek::scheduleQuery() {
  const TimePoint now = services_.clock.now();
  const Duration elapsed = lastQueryAt_ ? Duration(now - *lastQueryAt_) : MinQueryInterval;
  if (elapsed >= MinQueryInterval) {
    lastQueryAt_ = now;
    runQuery();
    return;
  }
  pendingQuery_ = services_.mainQueue.scheduleAfter(MinQueryInterval - elapsed, [this] {
    lastQueryAt_ = services_.clock.now();
    runQuery();
  });
}

void FolderPeek::runQuery() {
  const Point pointer = services_.eventTaps.pointerLocation();
  if ((services_.eventTaps.modifierFlags() & flag::Command) == 0 || isInActiveZone(pointer)) {
    return;
  }
  const auto hit = folderURLUnderCursor(pointer);
  if (!hit) {
    hidePanel();
    return;
  }
  if (currentURL_ == hit->folder) {
    if (hit->frame) {
      anchorFolderRect_ = hit->frame;
    }
    return;
  }
  currentURL_ = hit->folder;
  anchorFolderRect_ = hit->frame;
  showPanel(hit->folder, pointer);
}

std::optional<FolderPeek::Hit> FolderPeek::qualifyingElement(const AXElement& element) {
  Accessibility& accessibility = services_.accessibility;
  const auto url = axValueAs<std::string>(accessibility.copyAttributeValue(element, ax::Url));
  const auto path = url ? FileUrl::path(*url) : std::nullopt;
  std::error_code error;
  if (!path || FolderListing::isPackage(*path) || !std::filesystem::is_directory(*path, error)) {
    return std::nullopt;
  }
  Hit hit{*path, std::nullopt};
  const auto position = axValueAs<Point>(accessibility.copyAttributeValue(element, ax::Position));
  const auto size = axValueAs<Size>(accessibility.copyAttributeValue(element, ax::Size));
  const auto screens = services_.screens.screens();
  if (position && size && !screens.empty()) {
    const double primaryHeight = screens.front().frame.size.height;
    hit.frame = Rect{{position->x, primaryHeight - position->y - size->height}, *size};
  }
  return hit;
}

std::optional<FolderPeek::Hit> FolderPeek::folderURLUnderCursor(Point point) {
  const auto screens = services_.screens.screens();
  if (screens.empty()) {
    return std::nullopt;
  }
  const double primaryHeight = screens.front().frame.size.height;
  Accessibility& accessibility = services_.accessibility;
  auto element =
      accessibility.elementAtPosition(systemElement_, {point.x, primaryHeight - point.y});
  for (int examined = 0; element && examined < MaximumElementsExamined; ++examined) {
    if (auto hit = qualifyingElement(*element)) {
      if (hit->frame &&
          (hit->frame->size.width > LargestIconSide || hit->frame->size.height > LargestIconSide)) {
        return std::nullopt;
      }
      return hit;
    }
    if (examined + 1 == MaximumElementsExamined) {
      break;
    }
    element = axValueAs<AXElement>(accessibility.copyAttributeValue(*element, ax::Parent));
  }
  return std::nullopt;
}

Point FolderPeek::panelOrigin(Size panel, const std::optional<Rect>& folderFrame,
                              Point pointer) const {
  const Point anchor =
      folderFrame ? Point{folderFrame->midX(), folderFrame->origin.y + folderFrame->size.height}
                  : pointer;
  Point origin{anchor.x - panel.width / 2, anchor.y + PanelGap};
  std::optional<ScreenInfo> screen;
  for (const ScreenInfo& candidate : services_.screens.screens()) {
    if (contains(candidate.frame, pointer)) {
      screen = candidate;
      break;
    }
  }
  if (!screen) {
    screen = services_.screens.mainScreen();
  }
  if (!screen) {
    return origin;
  }
  const Rect& visible = screen->visibleFrame;
  const double visibleTop = visible.origin.y + visible.size.height;
  const double visibleRight = visible.origin.x + visible.size.width;
  if (origin.y + panel.height > visibleTop - ScreenEdgeMargin) {
    const double below = folderFrame ? folderFrame->origin.y : pointer.y;
    origin.y = below - PanelGap - panel.height;
  }
  origin.x = std::max(origin.x, visible.origin.x + ScreenEdgeMargin);
  origin.x = std::min(origin.x, visibleRight - panel.width - ScreenEdgeMargin);
  origin.y = std::max(origin.y, visible.origin.y + ScreenEdgeMargin);
  origin.y = std::min(origin.y, visibleTop - panel.height - ScreenEdgeMargin);
  return origin;
}

void FolderPeek::showPanel(const std::filesystem::path& folder, Point pointer) {
  const auto entries = listing_.peekEntries(folder, MaximumEntries);
  if (!panel_) {
    panel_ = std::make_unique<PeekPanel>(services_.userInterface, services_.localization);
  }
  panel_->update(folder.filename().string(), entries, [this](const std::filesystem::path& entry) {
    services_.workspace.openUrl(FileUrl::make(entry));
    hidePanel();
  });
  FloatingPanel* window = panel_->window();
  if (window == nullptr) {
    return;
  }
  window->setFrameOrigin(panelOrigin(panel_->size(), anchorFolderRect_, pointer));
  window->orderFrontRegardless();
}

void FolderPeek::hidePanel() {
  currentURL_.reset();
  anchorFolderRect_.reset();
  isSticky_ = false;
  stickyEntered_ = false;
  if (panel_ && panel_->window() != nullptr) {
    panel_->window()->orderOut();
  }
}

void FolderPeek::leftMouseDown(const Event& event) {
  pendingClickPeek_.cancel();
  const Point pointer = services_.eventTaps.pointerLocation();
  if (event.integerField(EventField::MouseEventClickState) >= 2) {
    if (isPanelVisible()) {
      hidePanel();
    }
  } else if (isSticky_ && !isInsideGrownPanel(pointer)) {
    hidePanel();
    skipNextPeek_ = true;
  }
  lastMouseDownAt_ = pointer;
  lastMouseDownTime_ = services_.clock.now();
}

void FolderPeek::leftMouseUp(const Event& event) {
  if (skipNextPeek_) {
    skipNextPeek_ = false;
    return;
  }
  const Point pointer = services_.eventTaps.pointerLocation();
  const double dx = pointer.x - lastMouseDownAt_.x;
  const double dy = pointer.y - lastMouseDownAt_.y;
  if (dx * dx + dy * dy > ClickSlop * ClickSlop ||
      event.integerField(EventField::MouseEventClickState) >= 2 ||
      (event.flags() & clickModifiers) != 0) {
    return;
  }
  services_.backgroundQueue.async(lifetime_.guard([this, pointer] {
    const auto hit = folderURLUnderCursor(pointer);
    if (!hit) {
      return;
    }
    services_.mainQueue.async(
        lifetime_.guard([this, hit = *hit, pointer] { scheduleClickPeek(hit, pointer); }));
  }));
}

Duration FolderPeek::clickPeekDelay() const {
  return std::max(Duration(ClickPeekDelayFactor * services_.eventTaps.doubleClickInterval()),
                  Duration(MinimumClickPeekDelay));
}

void FolderPeek::scheduleClickPeek(const Hit& hit, Point pointer) {
  pendingClickPeek_ = services_.mainQueue.scheduleAfter(clickPeekDelay(), [this, hit, pointer] {
    currentURL_ = hit.folder;
    anchorFolderRect_ = hit.frame;
    isSticky_ = true;
    showPanel(hit.folder, pointer);
  });
}

void FolderPeek::otherApplicationActivated() {
  const auto frontmost = services_.workspace.frontmostApplication();
  if (frontmost && isFileManager(frontmost->bundleIdentifier)) {
    return;
  }
  pendingClickPeek_.cancel();
  hidePanel();
}

} // namespace quillon
