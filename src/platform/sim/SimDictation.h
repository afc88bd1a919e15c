#pragma once

#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/Dictation.h"
#include "platform/EventTaps.h"
#include "platform/sim/SimDictationShortcut.h"

#include <optional>
#include <string_view>

namespace quillon {

class Defaults;
class Log;
class Processes;
class Workspace;

// The other system's own dictation: started by its configured shortcut,
// else through the front application's menu item, else with the dictation
// key combination as a last try.
class SimDictation final : public Dictation {
public:
  // Below the menu bar: the menus, their items and submenus nested this deep.
  static constexpr int maximumMenuDepth = 4;
  // Between the events of the last-resort key combination, so the system
  // sees the Fn key held.
  static constexpr Duration fallbackPause{0.015};

  struct Dependencies {
    Defaults& defaults;
    Accessibility& accessibility;
    Workspace& workspace;
    EventTaps& eventTaps;
    Processes& processes;
    Clock& clock;
    Log& log;
  };

  explicit SimDictation(Dependencies dependencies)
      : services_(dependencies),
        shortcut_(dependencies.defaults, dependencies.processes, dependencies.log) {}

  void prepare() override { shortcut_.ensureShortcut(); }
  void start() override;

  bool pressSystemHotkey();
  bool invokeMenuItem();
  std::optional<AXElement> findDictationItem(const AXElement& element, int depth);
  // Whether a lower-cased menu title names starting dictation.
  static bool isDictationTitle(std::string_view lowercasedTitle);

private:
  // The product's marked source, so its own tap lets these keys through.
  const EventSource* source();
  void postKey(KeyCode keyCode, EventFlags flags);
  void pressFnF5();
  void postFallbackEvent(EventType type, KeyCode keyCode, EventFlags flags);

  Dependencies services_;
  SimDictationShortcut shortcut_;
  std::optional<EventSource> source_;
  bool sourceRequested_ = false;
};

} // namespace quillon
