#include "input/EventTap.h"

#include "input/CommandRemap.h"
#include "input/HotkeyTable.h"
#include "input/WheelInversion.h"

namespace quillon {

EventTap::EventTap(const Dependencies& dependencies)
    : services_(dependencies), modifierDetector_(dependencies.clock),
      shiftDetector_(dependencies.clock), punctuation_(dependencies.clock),
      oneCDoubleClick_(dependencies.clock, dependencies.eventTaps, dependencies.workspace,
                       dependencies.mainQueue, dependencies.sound, dependencies.log),
      translator_(dependencies.inputSources),
      autoSwitcher_({dependencies.inputSources, translator_, dependencies.mainQueue,
                     dependencies.clock, dependencies.log, dependencies.sound,
                     dependencies.synthesizer, dependencies.settings, dependencies.workspace}),
      selectionConverter_({translator_, dependencies.inputSources, dependencies.pasteboard,
                           dependencies.synthesizer, dependencies.mainQueue, dependencies.log}) {}

bool EventTap::start() {
  const TapRequest request{TapLocation::Session, TapPlacement::HeadInsert, TapOptions::Default,
                           EventMask};
  auto port =
      services_.eventTaps.createTap(request, [this](Event& event) { return handle(event); });
  if (!port) {
    return false;
  }
  port->attachToMainLoop();
  port->setEnabled(true);
  port_ = std::move(port);
  if (!commandRemapApplies()) {
    services_.log.write("Quillon: the Ctrl/Fn → ⌘ remap is off: applications on this desktop "
                        "take their shortcuts with Control already");
  }
  return true;
}

bool EventTap::commandRemapApplies() const {
  return services_.eventTaps.standardShortcutModifier() == flag::Command;
}

TapVerdict EventTap::handle(Event& event) {
  switch (event.type()) {
  case EventType::TapDisabledByTimeout:
  case EventType::TapDisabledByUserInput:
    reenable();
    return TapVerdict::Deliver;
  default:
    break;
  }
  // The product's own synthetic events are never processed a second time.
  if (event.isMarkedSynthetic()) {
    return TapVerdict::Deliver;
  }
  // Mouse presses, modifier changes and scrolls are always delivered.
  switch (event.type()) {
  case EventType::LeftMouseDown:
    handleLeftMouseDown(event);
    return TapVerdict::Deliver;
  case EventType::FlagsChanged:
    handleFlagsChanged(event.flags());
    return TapVerdict::Deliver;
  case EventType::KeyDown:
    return handleKeyDown(event);
  case EventType::ScrollWheel:
    handleScrollWheel(event);
    return TapVerdict::Deliver;
  default:
    return TapVerdict::Deliver;
  }
}

void EventTap::handleFlagsChanged(EventFlags flags) {
  modifierDetector_.flagsChanged(
      flags, [this] { onCommandShiftTap(); }, [] {});
  if (fnDetector_.flagsChanged(flags)) {
    onFnControl();
  }
  shiftDetector_.flagsChanged(flags, [this] { onShiftDoubleTap(); });
}

TapVerdict EventTap::handleKeyDown(Event& event) {
  noticeFocusedWindow();
  // Typing while holding modifiers never counts as a tap.
  modifierDetector_.contaminate();
  shiftDetector_.contaminateIfShiftDown();

  if (performHotkey(event) || replaceDoubleTappedPunctuation(event)) {
    return TapVerdict::Swallow;
  }
  // A rewritten shortcut is delivered at once: it is no word character.
  if (remapToCommand(event)) {
    return TapVerdict::Deliver;
  }
  return correctLayout(event) ? TapVerdict::Swallow : TapVerdict::Deliver;
}

bool EventTap::performHotkey(const Event& event) {
  const auto action = matchHotkey(event.keyCode(), event.flags());
  // A withheld feature's chord belongs to the desktop's own shortcuts.
  if (!action || services_.actions.isWithheld(*action)) {
    return false;
  }
  if (*action == Action::convertSelection) {
    // The tap's own engine takes part, so this one is not the table's.
    queue([this] { convertSelection(); });
  } else {
    queue([this, action = *action] { services_.actions.perform(action); });
  }
  return true;
}

void EventTap::convertSelection() {
  // Without a selection: convert the word being typed, or else undo the last
  // switch.
  selectionConverter_.convertSelectionOrFallback([this] {
    if (!autoSwitcher_.forceConvertBuffer()) {
      autoSwitcher_.consumePendingUndoIfAny();
    }
  });
}

bool EventTap::correctLayout(const Event& event) {
  // A replacement already under way still needs the keys held back behind
  // it, even if correction was just switched off.
  if (!services_.settings.autoSwitchLayoutEnabled() && !autoSwitcher_.replacementPending()) {
    return false;
  }
  return autoSwitcher_.handleKeyDown(event, event.keyCode(), event.flags());
}

bool EventTap::replaceDoubleTappedPunctuation(const Event& event) {
  if (!services_.settings.punctuationRemapsEnabled()) {
    return false;
  }
  const auto replacement = punctuation_.keyDown(event.keyCode(), event.flags());
  if (!replacement) {
    return false;
  }
  // Backspace removes what the first press typed; the text replaces it.
  queue([this, text = *replacement] {
    services_.synthesizer.postKey(keycode::Delete, 0);
    services_.clock.sleep(EventSynthesizer::characterPause);
    services_.synthesizer.sendUnicodeString(text);
  });
  return true;
}

bool EventTap::remapToCommand(Event& event) {
  // Where applications take their shortcuts with Control, turning Control
  // into Command would break every one of them.
  if (!services_.settings.copyKeysEnabled() || !commandRemapApplies()) {
    return false;
  }
  const auto flags = CommandRemap::remap(event.keyCode(), event.flags());
  if (!flags) {
    return false;
  }
  event.setFlags(*flags);
  return true;
}

void EventTap::handleLeftMouseDown(const Event& event) {
  autoSwitcher_.caretMayHaveMoved();
  if (services_.settings.oneCDoubleClickToF2Enabled()) {
    oneCDoubleClick_.leftMouseDown(event);
  }
}

// Keys go to the focused window, so a different application or window in
// front since the last key means the typing continues somewhere else: two
// windows of one process have a caret each. Asked at each key rather than
// told: nothing the word or the undo holds matters until a key.
void EventTap::noticeFocusedWindow() {
  const auto frontmost = services_.workspace.frontmostApplication();
  const Focus focus{frontmost ? std::optional<int>(frontmost->processIdentifier) : std::nullopt,
                    services_.workspace.focusedWindow()};
  if (focus != focus_) {
    focus_ = focus;
    autoSwitcher_.caretMayHaveMoved();
  }
}

void EventTap::handleScrollWheel(Event& event) {
  if (services_.settings.invertMouseWheelEnabled()) {
    WheelInversion::invert(event);
  }
}

void EventTap::onCommandShiftTap() {
  const bool enabled = services_.settings.languageSwitchEnabled();
  services_.log.write(std::string("Quillon: Cmd+Shift tap detected, languageSwitchEnabled=") +
                      (enabled ? "true" : "false"));
  if (enabled) {
    services_.languageSwitcher.switchToNextInputSource();
  }
}

void EventTap::onFnControl() {
  if (services_.actions.isWithheld(Action::triggerDictation)) {
    return;
  }
  services_.log.write("Quillon fnDetector: Fn+Control combo → dictation");
  services_.log.write("Quillon: Fn+Ctrl → dictation");
  services_.sound.play("Glass");
  queue([this] { services_.actions.perform(Action::triggerDictation); });
}

void EventTap::onShiftDoubleTap() {
  services_.log.write("Quillon: Shift double-tap → toggle auto-switch");
  queue([this] { toggleAutoSwitch(); });
}

void EventTap::toggleAutoSwitch() {
  const bool enabled = !services_.settings.autoSwitchLayoutEnabled();
  services_.settings.set(enabled, Settings::Key::autoSwitchLayoutEnabled);
  services_.sound.play(enabled ? "Tink" : "Bottle");
  services_.hud.show(
      services_.localization.localized(enabled ? "Auto-switch ON" : "Auto-switch OFF"));
}

// Deferred so the callback returns at once and the system never disables the
// tap for being slow.
void EventTap::queue(Task task) {
  services_.mainQueue.async(lifetime_.guard(std::move(task)));
}

void EventTap::reenable() {
  if (port_) {
    port_->setEnabled(true);
  }
}

} // namespace quillon
