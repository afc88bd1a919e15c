#include "windows/WindowPositionManager.h"

#include "windows/RectDescription.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Center is never a drag target: any frame is "centred" at its own size.
constexpr std::array<WindowSnapper::Position, 9> snapZoneOrder{
    WindowSnapper::Position::leftHalf,   WindowSnapper::Position::rightHalf,
    WindowSnapper::Position::topHalf,    WindowSnapper::Position::bottomHalf,
    WindowSnapper::Position::topLeft,    WindowSnapper::Position::topRight,
    WindowSnapper::Position::bottomLeft, WindowSnapper::Position::bottomRight,
    WindowSnapper::Position::maximize,
};

bool within(double first, double second) {
  return std::abs(first - second) <= WindowPositionManager::SnapTolerance;
}

bool isNear(const Rect& frame, const Rect& zone) {
  return within(frame.origin.x, zone.origin.x) && within(frame.origin.y, zone.origin.y) &&
         within(frame.size.width, zone.size.width) && within(frame.size.height, zone.size.height);
}

// Property lists written by hand may hold whole numbers as integers.
std::optional<double> finiteNumber(const PropertyValue& value) {
  if (const auto real = value.asReal(); real && std::isfinite(*real)) {
    return real;
  }
  if (const auto integer = value.asInteger()) {
    return static_cast<double>(*integer);
  }
  return std::nullopt;
}

// An entry is usable only as exactly four finite numbers of a size a window
// can have: anything else would move a window somewhere nobody put it, or
// make it vanish.
std::optional<Rect> frameFromEntry(const PropertyValue& entry) {
  const PropertyArray* numbers = entry.get<PropertyArray>();
  if (numbers == nullptr || numbers->size() != 4) {
    return std::nullopt;
  }
  std::array<double, 4> values{};
  for (std::size_t index = 0; index < values.size(); ++index) {
    const auto number = finiteNumber((*numbers)[index]);
    if (!number) {
      return std::nullopt;
    }
    if (std::abs(*number) > WindowPositionManager::LargestSensibleCoordinate) {
      return std::nullopt;
    }
    values[index] = *number;
  }
  if (values[2] <= 0 || values[3] <= 0) {
    return std::nullopt;
  }
  return Rect{{values[0], values[1]}, {values[2], values[3]}};
}

std::string describeOptionalBool(const std::optional<bool>& value) {
  if (!value) {
    return "nil";
  }
  return *value ? "Optional(true)" : "Optional(false)";
}

} // namespace

WindowPositionManager::WindowPositionManager(Dependencies dependencies)
    : services_(std::move(dependencies)), ownDefaults_(services_.defaults, services_.ownDomain) {}

void WindowPositionManager::start() {
  if (isRunning_) {
    return;
  }
  isRunning_ = true;
  pollTimer_ =
      services_.mainQueue.scheduleRepeating(PollInterval, lifetime_.guard([this] { tick(); }));
  // The observations die with this manager, so they need no weak hold.
  launchObserver_ = services_.workspace.observeLaunches(
      [this](const RunningApplication& application) { scheduleRestore(application); });
  wakeObserver_ = services_.workspace.observeWake([this] {
    services_.log.write(
        "Quillon WindowPositionManager: wake from sleep → re-applying saved positions");
    awaitReapply(WakeReapplyDelay);
    services_.mainQueue.asyncAfter(WakeReapplyDelay,
                                   lifetime_.guard([this] { restoreAllRunning(); }));
  });
  screenParamsObserver_ = services_.screens.observeParametersChanged([this] {
    services_.log.write(
        "Quillon WindowPositionManager: screen params changed → re-applying saved positions");
    awaitReapply(ScreenChangeReapplyDelay);
    services_.mainQueue.asyncAfter(ScreenChangeReapplyDelay,
                                   lifetime_.guard([this] { restoreAllRunning(); }));
  });
  services_.log.write("Quillon WindowPositionManager: started");
}

void WindowPositionManager::stop() {
  if (!isRunning_) {
    return;
  }
  isRunning_ = false;
  pollTimer_.cancel();
  launchObserver_.stop();
  wakeObserver_.stop();
  screenParamsObserver_.stop();
  services_.log.write("Quillon WindowPositionManager: stopped");
}

bool WindowPositionManager::isOwnApplication(const RunningApplication& application) const {
  return application.bundleIdentifier == services_.ownBundleIdentifier;
}

void WindowPositionManager::suppressPolls() {
  suppressUntil_ = services_.clock.now() + toNanoseconds(SuppressWindow);
}

void WindowPositionManager::awaitReapply(Duration delay) {
  const TimePoint reapplyAt = services_.clock.now() + toNanoseconds(delay);
  reapplyPendingUntil_ = std::max(reapplyPendingUntil_, reapplyAt);
}

void WindowPositionManager::tick() {
  const Settings& settings = services_.settings;
  const bool autoSnap = settings.autoSnapMouseDragEnabled();
  const bool restore = settings.restoreWindowPositionsEnabled();
  if (!autoSnap && !restore) {
    return;
  }
  const auto application = services_.workspace.frontmostApplication();
  if (!application || isOwnApplication(*application)) {
    return;
  }
  if (lastWatchedPID_ != application->processIdentifier) {
    lastWatchedPID_ = application->processIdentifier;
    lastSeenFrame_.reset();
    lastActedFrame_.reset();
  }
  const auto target = services_.snapper.focusedWindowAndScreen();
  if (!target) {
    return;
  }
  const auto frame = services_.snapper.windowFrame(target->window);
  if (!frame) {
    return;
  }
  const TimePoint now = services_.clock.now();
  if (now < suppressUntil_ || now <= reapplyPendingUntil_) {
    return;
  }
  // Settled means two polls in a row read the same frame: a drag in
  // progress is never acted on.
  if (lastSeenFrame_ != frame) {
    lastSeenFrame_ = frame;
    return;
  }
  if (lastActedFrame_ == frame) {
    return;
  }
  lastActedFrame_ = frame;
  if (autoSnap) {
    if (const auto zone = nearestSnapZone(*frame, target->screen)) {
      services_.log.write("Quillon WindowPositionManager: auto-snap dragged " +
                          describeRect(*frame) + " → " + describeRect(*zone));
      suppressPolls();
      services_.snapper.setWindowFrame(target->window, *zone);
      savePosition(*application, *zone);
      lastSeenFrame_ = frame;
      return;
    }
  }
  if (restore) {
    savePosition(*application, *frame);
  }
  lastSeenFrame_ = frame;
}

std::optional<Rect> WindowPositionManager::nearestSnapZone(const Rect& frame,
                                                           const ScreenInfo& screen) {
  for (const WindowSnapper::Position position : snapZoneOrder) {
    const Rect zone = WindowSnapper::rect(position, screen.visibleFrame, 0);
    if (isNear(frame, zone)) {
      // Later zones are not tried: the first near one decides.
      return frame == zone ? std::nullopt : std::optional<Rect>(zone);
    }
  }
  return std::nullopt;
}

std::optional<PropertyDictionary> WindowPositionManager::storedPositions() const {
  const auto stored = ownDefaults_.object(PositionsDefaultsKey);
  if (!stored) {
    return std::nullopt;
  }
  if (const PropertyDictionary* positions = stored->get<PropertyDictionary>()) {
    return *positions;
  }
  return std::nullopt;
}

std::optional<Rect> WindowPositionManager::savedFrame(std::string_view bundleIdentifier) const {
  const auto positions = storedPositions();
  if (!positions) {
    return std::nullopt;
  }
  const auto entry = positions->find(bundleIdentifier);
  if (entry == positions->end()) {
    return std::nullopt;
  }
  return frameFromEntry(entry->second);
}

void WindowPositionManager::savePosition(const RunningApplication& application, const Rect& frame) {
  if (!application.bundleIdentifier) {
    return;
  }
  auto positions = storedPositions();
  if (!positions && ownDefaults_.object(PositionsDefaultsKey)) {
    services_.log.write("Quillon WindowPositionManager: stored positions unreadable, replacing "
                        "them");
  }
  // Other applications' entries stay as they are, even ones that cannot be
  // read: only this application's entry is replaced.
  PropertyDictionary updated = positions.value_or(PropertyDictionary{});
  updated[*application.bundleIdentifier] =
      PropertyArray{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
  ownDefaults_.set(PositionsDefaultsKey, std::move(updated));
}

std::optional<AXElement>
WindowPositionManager::preparedWindow(const RunningApplication& application, Duration timeout) {
  const AXElement element =
      services_.accessibility.applicationElement(application.processIdentifier);
  services_.snapper.prepareApplication(element, timeout);
  return services_.snapper.focusedOrFirstWindow(element);
}

void WindowPositionManager::scheduleRestore(const RunningApplication& application) {
  if (!services_.settings.restoreWindowPositionsEnabled() || !application.bundleIdentifier ||
      alreadyRestored_.contains(*application.bundleIdentifier)) {
    return;
  }
  const auto target = savedFrame(*application.bundleIdentifier);
  if (!target) {
    return;
  }
  scheduleRestoreAttempt(application, *target, 0);
}

void WindowPositionManager::scheduleRestoreAttempt(const RunningApplication& application,
                                                   const Rect& target, int attempt) {
  const Duration delay = attempt == 0 ? FirstRestoreDelay : RestoreRetryInterval;
  services_.mainQueue.asyncAfter(delay, lifetime_.guard([this, application, target, attempt] {
    attemptRestore(application, target, attempt);
  }));
}

void WindowPositionManager::attemptRestore(const RunningApplication& application,
                                           const Rect& target, int attempt) {
  if (!isRunning_ || services_.workspace.isTerminated(application)) {
    return;
  }
  const auto window = preparedWindow(application, LaunchRestoreTimeout);
  if (!window) {
    // The application is not marked restored, so its next launch tries again.
    if (attempt + 1 < RestoreAttempts) {
      scheduleRestoreAttempt(application, target, attempt + 1);
    }
    return;
  }
  const std::string& bundleIdentifier = *application.bundleIdentifier;
  services_.log.write("Quillon WindowPositionManager: restore " + bundleIdentifier + " → " +
                      describeRect(target));
  alreadyRestored_.insert(bundleIdentifier);
  suppressPolls();
  services_.snapper.setWindowFrame(*window, target);
}

void WindowPositionManager::restoreAllRunning() {
  if (!services_.settings.restoreWindowPositionsEnabled()) {
    return;
  }
  const auto positions = storedPositions();
  if (!positions) {
    return;
  }
  for (const RunningApplication& application : services_.workspace.runningApplications()) {
    if (application.activationPolicy != ActivationPolicy::Regular ||
        !application.bundleIdentifier) {
      continue;
    }
    const auto entry = positions->find(*application.bundleIdentifier);
    if (entry == positions->end()) {
      continue;
    }
    if (const auto target = frameFromEntry(entry->second)) {
      applyFrame(application, *target);
    }
  }
}

void WindowPositionManager::applyFrame(const RunningApplication& application, const Rect& target) {
  const auto window = preparedWindow(application, ReapplyTimeout);
  if (!window) {
    return;
  }
  services_.log.write("Quillon WindowPositionManager: post-wake restore " +
                      application.bundleIdentifier.value_or("?") + " → " + describeRect(target));
  suppressPolls();
  services_.snapper.setWindowFrame(*window, target);
}

void WindowPositionManager::applyTileMarginPreference(bool disabled) {
  const bool wanted = !disabled;
  const auto current = services_.defaults.object(WindowManagerDomain, TiledMarginsKey);
  const std::optional<bool> old = current ? current->asBool() : std::nullopt;
  if (old == wanted) {
    return;
  }
  services_.defaults.set(WindowManagerDomain, TiledMarginsKey, wanted);
  services_.log.write("Quillon: EnableTiledWindowMargins " + describeOptionalBool(old) + " → " +
                      (wanted ? "true" : "false"));
  // Not waited for: the system window manager restarts on its own time.
  const SpawnResult result =
      services_.processes.spawn({"/usr/bin/killall", {"WindowManager"}, true});
  if (!result.process) {
    services_.log.write("Quillon: killall WindowManager failed: " + result.error);
  }
}

} // namespace quillon
