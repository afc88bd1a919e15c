#include "windows/WindowSnapper.h"

#include <algorithm>

namespace quillon {

namespace {

bool intersects(const Rect& first, const Rect& second) {
  const double left = std::max(first.origin.x, second.origin.x);
  const double right =
      std::min(first.origin.x + first.size.width, second.origin.x + second.size.width);
  const double bottom = std::max(first.origin.y, second.origin.y);
  const double top =
      std::min(first.origin.y + first.size.height, second.origin.y + second.size.height);
  return left < right && bottom < top;
}

} // namespace

std::string_view WindowSnapper::name(Position position) {
  switch (position) {
  case Position::leftHalf:
    return "leftHalf";
  case Position::rightHalf:
    return "rightHalf";
  case Position::topHalf:
    return "topHalf";
  case Position::bottomHalf:
    return "bottomHalf";
  case Position::topLeft:
    return "topLeft";
  case Position::topRight:
    return "topRight";
  case Position::bottomLeft:
    return "bottomLeft";
  case Position::bottomRight:
    return "bottomRight";
  case Position::maximize:
    return "maximize";
  case Position::center:
    return "center";
  }
  return "center";
}

double WindowSnapper::primaryHeight() const {
  const auto all = screens_.screens();
  return all.empty() ? 0 : all.front().frame.size.height;
}

Rect WindowSnapper::axToAppKit(Point origin, Size size) const {
  return {{origin.x, primaryHeight() - origin.y - size.height}, size};
}

Point WindowSnapper::appKitToAX(const Rect& rect) const {
  return {rect.origin.x, primaryHeight() - rect.origin.y - rect.size.height};
}

std::optional<Rect> WindowSnapper::windowFrame(const AXElement& window) {
  const auto position = axValueAs<Point>(accessibility_.copyAttributeValue(window, ax::Position));
  if (!position) {
    return std::nullopt;
  }
  const auto size = axValueAs<Size>(accessibility_.copyAttributeValue(window, ax::Size));
  if (!size) {
    return std::nullopt;
  }
  return axToAppKit(*position, *size);
}

void WindowSnapper::setWindowFrame(const AXElement& window, const Rect& appKitRect) {
  const Point origin = appKitToAX(appKitRect);
  // Size first so the move is not clipped by the old size at a screen edge,
  // and size again in case the move changed what size the window allows.
  accessibility_.setAttributeValue(window, ax::Size, appKitRect.size);
  accessibility_.setAttributeValue(window, ax::Position, origin);
  accessibility_.setAttributeValue(window, ax::Size, appKitRect.size);
}

Rect WindowSnapper::rect(Position position, const Rect& area, double gap) {
  const double minX = area.origin.x;
  const double minY = area.origin.y;
  const double width = area.size.width;
  const double height = area.size.height;
  const double halfGap = gap / 2;
  const double halfWidth = width / 2 - gap - halfGap;
  const double halfHeight = height / 2 - gap - halfGap;
  const double rightX = minX + width / 2 + halfGap;
  const double upperY = minY + height / 2 + halfGap;
  switch (position) {
  case Position::leftHalf:
    return {{minX + gap, minY + gap}, {halfWidth, height - 2 * gap}};
  case Position::rightHalf:
    return {{rightX, minY + gap}, {halfWidth, height - 2 * gap}};
  case Position::topHalf:
    return {{minX + gap, upperY}, {width - 2 * gap, halfHeight}};
  case Position::bottomHalf:
    return {{minX + gap, minY + gap}, {width - 2 * gap, halfHeight}};
  case Position::topLeft:
    return {{minX + gap, upperY}, {halfWidth, halfHeight}};
  case Position::topRight:
    return {{rightX, upperY}, {halfWidth, halfHeight}};
  case Position::bottomLeft:
    return {{minX + gap, minY + gap}, {halfWidth, halfHeight}};
  case Position::bottomRight:
    return {{rightX, minY + gap}, {halfWidth, halfHeight}};
  case Position::maximize:
    return {{minX + gap, minY + gap}, {width - 2 * gap, height - 2 * gap}};
  case Position::center:
    return area;
  }
  return area;
}

void WindowSnapper::prepareApplication(const AXElement& application, Duration timeout) {
  accessibility_.setMessagingTimeout(application, timeout);
  accessibility_.setAttributeValue(application, ax::ManualAccessibility, true);
  accessibility_.setAttributeValue(application, ax::EnhancedUserInterface, true);
}

std::optional<AXElement> WindowSnapper::focusedOrFirstWindow(const AXElement& application) {
  if (auto focused =
          axValueAs<AXElement>(accessibility_.copyAttributeValue(application, ax::FocusedWindow))) {
    return focused;
  }
  const auto windows = axValueAs<std::vector<AXElement>>(
      accessibility_.copyAttributeValue(application, ax::Windows));
  if (!windows || windows->empty()) {
    return std::nullopt;
  }
  return windows->front();
}

std::optional<AXElement> WindowSnapper::focusedApplication() {
  if (const auto frontmost = workspace_.frontmostApplication()) {
    return accessibility_.applicationElement(frontmost->processIdentifier);
  }
  const AXElement systemWide = accessibility_.systemWideElement();
  accessibility_.setMessagingTimeout(systemWide, MessagingTimeout);
  return axValueAs<AXElement>(
      accessibility_.copyAttributeValue(systemWide, ax::FocusedApplication));
}

std::optional<ScreenInfo> WindowSnapper::screenContaining(const Rect& frame) const {
  const auto all = screens_.screens();
  // The first one wins even if the window lies mostly on another.
  const auto found = std::find_if(all.begin(), all.end(), [&frame](const ScreenInfo& screen) {
    return intersects(screen.frame, frame);
  });
  if (found != all.end()) {
    return *found;
  }
  if (auto main = screens_.mainScreen()) {
    return main;
  }
  if (!all.empty()) {
    return all.front();
  }
  return std::nullopt;
}

std::optional<WindowSnapper::Target>
WindowSnapper::focusedWindowAndScreen(WindowlessReport report) {
  const auto application = focusedApplication();
  if (!application) {
    return std::nullopt;
  }
  prepareApplication(*application, MessagingTimeout);
  auto window = focusedOrFirstWindow(*application);
  if (!window) {
    const auto frontmost = workspace_.frontmostApplication();
    const int process = frontmost ? frontmost->processIdentifier : 0;
    if (report == WindowlessReport::everyTime || reportedWindowless_ != process) {
      reportedWindowless_ = process;
      log_.write("Quillon snap: app exposes neither AXFocusedWindow nor AXWindows");
    }
    return std::nullopt;
  }
  reportedWindowless_.reset();
  const Rect frame = windowFrame(*window).value_or(Rect{});
  auto screen = screenContaining(frame);
  if (!screen) {
    return std::nullopt;
  }
  return Target{std::move(*window), *screen};
}

void WindowSnapper::snapFocusedWindow(Position position) {
  const auto target = focusedWindowAndScreen(WindowlessReport::everyTime);
  if (!target) {
    log_.write("Quillon snap: no focused window / screen");
    return;
  }
  const Rect& visible = target->screen.visibleFrame;
  if (position != Position::center) {
    setWindowFrame(target->window, rect(position, visible, 0));
    return;
  }
  const auto frame = windowFrame(target->window);
  if (!frame) {
    return;
  }
  // Not clamped: a window larger than the screen overhangs both sides alike.
  const Size size = frame->size;
  setWindowFrame(target->window,
                 {{visible.midX() - size.width / 2, visible.midY() - size.height / 2}, size});
}

} // namespace quillon
