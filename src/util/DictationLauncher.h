#pragma once

#include "platform/Accessibility.h"
#include "platform/Clock.h"

#include <optional>
#include <string_view>

namespace quillon {

class Defaults;
class EventSynthesizer;
class EventTaps;
class Log;
class Workspace;

// Starts the system's own dictation for the user: by its configured
// shortcut, else through the front application's menu item, else with the
// dictation key combination as a last try.
class DictationLauncher {
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
    EventSynthesizer& synthesizer;
    Clock& clock;
    Log& log;
  };

  explicit DictationLauncher(Dependencies dependencies) : services_(dependencies) {}

  void trigger();
  bool pressSystemHotkey();
  bool invokeMenuItem();
  std::optional<AXElement> findDictationItem(const AXElement& element, int depth);
  // Whether a lower-cased menu title names starting dictation.
  static bool isDictationTitle(std::string_view lowercasedTitle);

private:
  void pressFnF5();
  void postFallbackEvent(EventType type, KeyCode keyCode, EventFlags flags);

  Dependencies services_;
};

} // namespace quillon
