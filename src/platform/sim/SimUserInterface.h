#pragma once

#include "platform/Screens.h"
#include "platform/Sound.h"
#include "platform/UserInterface.h"
#include "platform/sim/VirtualClock.h"
#include "platform/sim/VirtualRunLoop.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

class SimSound final : public Sound {
public:
  void play(std::string_view name) override { played_.emplace_back(name); }
  const std::vector<std::string>& played() const { return played_; }
  // The sounds played since the previous call.
  std::vector<std::string> takePlayed();

private:
  std::vector<std::string> played_;
  std::size_t readUpTo_ = 0;
};

class SimScreens final : public Screens {
public:
  SimScreens();
  std::vector<ScreenInfo> screens() const override { return screens_; }
  std::optional<ScreenInfo> mainScreen() const override;
  void setScreens(std::vector<ScreenInfo> screens) { screens_ = std::move(screens); }

private:
  std::vector<ScreenInfo> screens_;
};

// What became of one window: kept after the window is gone, so tests can
// read its whole life.
struct SimWindowRecord {
  HudWindowStyle style;
  Point origin;
  bool visible = false;
  bool closed = false;
  // Alpha as a function of time: the current animation, if any.
  double alphaFrom = 1;
  double alphaTo = 1;
  TimePoint animationStart;
  Duration animationDuration{0};
  std::optional<TimePoint> orderedFrontAt;
  std::optional<TimePoint> orderedOutAt;

  double alphaAt(TimePoint time) const;
  Rect frame() const { return {origin, style.contentSize}; }
};

class SimUserInterface final : public UserInterface {
public:
  SimUserInterface(VirtualClock& clock, VirtualRunLoop& runLoop)
      : clock_(clock), runLoop_(runLoop) {}

  std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) override;

  const std::vector<std::shared_ptr<SimWindowRecord>>& hudWindows() const { return hudWindows_; }
  // The messages of HUD windows brought on screen since the previous call.
  std::vector<std::string> takeHudMessages();
  double alphaOf(const SimWindowRecord& window) const { return window.alphaAt(clock_.now()); }

private:
  VirtualClock& clock_;
  VirtualRunLoop& runLoop_;
  std::vector<std::shared_ptr<SimWindowRecord>> hudWindows_;
  std::vector<std::string> shownMessages_;
  std::size_t readUpTo_ = 0;
};

} // namespace quillon
