#pragma once

#include "core/ActionTable.h"
#include "core/HUDOverlay.h"
#include "core/Settings.h"
#include "input/EventSynthesizer.h"
#include "input/EventTap.h"
#include "input/LanguageSwitcher.h"
#include "platform/sim/SimDesktop.h"

#include <memory>
#include <vector>

namespace quillon {

// An event tap on a simulated desktop with everything it talks to, and every
// action recorded instead of performed.
struct TapWorld {
  TapWorld() : TapWorld(SimDesktop::Options{}) {}
  explicit TapWorld(SimDesktop::Options options) : desktop(std::move(options)) {
    for (std::size_t index = 0; index < ActionCount; ++index) {
      const auto action = static_cast<Action>(index);
      actions.wire(action, [this, action] { performed.push_back(action); });
    }
  }

  std::unique_ptr<EventTap> makeTap() {
    return std::make_unique<EventTap>(EventTap::Dependencies{
        desktop.eventTaps(), desktop.inputSources(), desktop.pasteboard(), desktop.runLoop(),
        desktop.clock(), desktop.log(), desktop.sound(), desktop.workspace(),
        desktop.localization(), settings, actions, synthesizer, languageSwitcher, hud});
  }

  // Presses the key with the modifiers held, as a user would.
  void pressChord(const std::vector<KeyCode>& modifiers, std::optional<KeyCode> key) {
    for (const KeyCode modifier : modifiers) {
      desktop.keyboard().keyDown(modifier);
    }
    if (key) {
      desktop.keyboard().tap(*key);
    }
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
      desktop.keyboard().keyUp(*modifier);
    }
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"), notifications};
  ActionTable actions;
  std::vector<Action> performed;
  EventSynthesizer synthesizer{desktop.eventTaps(), desktop.clock()};
  LanguageSwitcher languageSwitcher{desktop.inputSources()};
  HUDOverlay hud{desktop.runLoop(), desktop.userInterface(), desktop.screens()};
};

} // namespace quillon
