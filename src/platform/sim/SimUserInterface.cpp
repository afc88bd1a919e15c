#include "platform/sim/SimUserInterface.h"

#include <algorithm>

namespace quillon {

namespace {

template <typename T> std::vector<T> takeSince(const std::vector<T>& items, std::size_t& readUpTo) {
  std::vector<T> fresh(items.begin() + static_cast<std::ptrdiff_t>(readUpTo), items.end());
  readUpTo = items.size();
  return fresh;
}

class SimHudWindow final : public OverlayWindow {
public:
  SimHudWindow(std::shared_ptr<SimWindowRecord> record, VirtualClock& clock,
               VirtualRunLoop& runLoop, std::vector<std::string>& shownMessages)
      : record_(std::move(record)), clock_(clock), runLoop_(runLoop),
        shownMessages_(shownMessages) {}
  ~SimHudWindow() override {
    orderOut();
    record_->closed = true;
  }

  void setFrameOrigin(Point origin) override { record_->origin = origin; }

  void setAlpha(double alpha) override {
    record_->alphaFrom = record_->alphaTo = alpha;
    record_->animationDuration = Duration::zero();
  }

  void animateAlpha(double target, Duration duration, Task completion) override {
    record_->alphaFrom = record_->alphaAt(clock_.now());
    record_->alphaTo = target;
    record_->animationStart = clock_.now();
    record_->animationDuration = duration;
    runLoop_.asyncAfter(duration, std::move(completion));
  }

  void orderFrontRegardless() override {
    if (!record_->visible) {
      shownMessages_.push_back(record_->style.message);
    }
    record_->visible = true;
    record_->orderedFrontAt = clock_.now();
  }

  void orderOut() override {
    if (record_->visible) {
      record_->visible = false;
      record_->orderedOutAt = clock_.now();
    }
  }

private:
  std::shared_ptr<SimWindowRecord> record_;
  VirtualClock& clock_;
  VirtualRunLoop& runLoop_;
  std::vector<std::string>& shownMessages_;
};

} // namespace

std::vector<std::string> SimSound::takePlayed() {
  return takeSince(played_, readUpTo_);
}

SimScreens::SimScreens() {
  // One 1440 × 900 display with a 25-point menu bar.
  const Rect frame{{0, 0}, {1440, 900}};
  screens_.push_back({frame, Rect{{0, 0}, {1440, 875}}});
}

std::optional<ScreenInfo> SimScreens::mainScreen() const {
  if (screens_.empty()) {
    return std::nullopt;
  }
  return screens_.front();
}

double SimWindowRecord::alphaAt(TimePoint time) const {
  if (animationDuration <= Duration::zero() ||
      time >= animationStart + toNanoseconds(animationDuration)) {
    return alphaTo;
  }
  if (time <= animationStart) {
    return alphaFrom;
  }
  const double progress = Duration(time - animationStart) / animationDuration;
  return alphaFrom + (alphaTo - alphaFrom) * progress;
}

std::shared_ptr<OverlayWindow> SimUserInterface::makeHudWindow(const HudWindowStyle& style) {
  auto record = std::make_shared<SimWindowRecord>();
  record->style = style;
  hudWindows_.push_back(record);
  return std::make_shared<SimHudWindow>(std::move(record), clock_, runLoop_, shownMessages_);
}

std::vector<std::string> SimUserInterface::takeHudMessages() {
  return takeSince(shownMessages_, readUpTo_);
}

} // namespace quillon
