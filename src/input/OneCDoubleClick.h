#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/EventTaps.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <optional>

namespace quillon {

// In the 1C:Enterprise clients a double-click on a list row often fails to
// open it; Control+Return does. This follows each double-click there with
// that shortcut, twice, a moment later.
class OneCDoubleClick {
public:
  static constexpr double driftLimit = 16;
  static constexpr Duration firstKeyDelay{0.2};
  static constexpr Duration secondKeyDelay{0.05};

  OneCDoubleClick(const Clock& clock, EventTaps& eventTaps, const Workspace& workspace,
                  MainQueue& mainQueue, Sound& sound, Log& log)
      : clock_(clock), eventTaps_(eventTaps), workspace_(workspace), mainQueue_(mainQueue),
        sound_(sound), log_(log) {}
  OneCDoubleClick(const OneCDoubleClick&) = delete;
  OneCDoubleClick& operator=(const OneCDoubleClick&) = delete;

  // Assumes the caller has checked the setting. Never changes the event.
  void leftMouseDown(const Event& event);
  bool isFrontmostOneC() const;
  // Posts Control+Return once, marked so the tap lets it through.
  void sendOneCDoubleClickKey();

private:
  const Clock& clock_;
  EventTaps& eventTaps_;
  const Workspace& workspace_;
  MainQueue& mainQueue_;
  Sound& sound_;
  Log& log_;
  // Absent stands for the distant past: no press to pair with.
  std::optional<TimePoint> lastLeftMouseDownAt_;
  Point lastLeftMouseDownPos_{};
  std::optional<EventSource> source_;
  bool sourceRequested_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
