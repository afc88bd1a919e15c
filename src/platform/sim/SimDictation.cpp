#include "platform/sim/SimDictation.h"

#include "platform/Defaults.h"
#include "platform/Event.h"
#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "platform/Workspace.h"
#include "text/Unicode.h"

#include <array>

namespace quillon {

namespace {

constexpr std::array<std::string_view, 2> dictationWords{"dictation", "диктов"};
// "Dictation Settings…" and its translations open preferences instead.
constexpr std::array<std::string_view, 2> settingsWords{"settings", "настрой"};

bool containsAny(std::string_view text, const std::array<std::string_view, 2>& words) {
  for (const std::string_view word : words) {
    if (text.find(word) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

} // namespace

void SimDictation::start() {
  Log& log = services_.log;
  if (pressSystemHotkey()) {
    log.write("Quillon dictation: dispatched via system hotkey (com.apple.symbolichotkeys #164)");
    return;
  }
  if (invokeMenuItem()) {
    log.write("Quillon dictation: dispatched via Edit > Start Dictation menu item");
    return;
  }
  log.write("Quillon dictation: NO shortcut + NO menu item — set System Settings → Keyboard → "
            "Dictation → Shortcut to e.g. ⌃⌥⌘D. Trying Fn+F5 as last resort (likely no-op).");
  pressFnF5();
}

const EventSource* SimDictation::source() {
  if (!sourceRequested_) {
    sourceRequested_ = true;
    source_ = services_.eventTaps.createSource(EventSourceState::CombinedSession);
    if (source_) {
      source_->setUserData(SyntheticEventMarker);
    }
  }
  return source_ ? &*source_ : nullptr;
}

// Down then up with exactly the shortcut's flags, whatever the user holds.
void SimDictation::postKey(KeyCode keyCode, EventFlags flags) {
  for (const bool keyDown : {true, false}) {
    Event event = makeKeyboardEvent(source(), keyCode, keyDown);
    event.setFlags(flags);
    services_.eventTaps.post(event, TapLocation::Hid);
  }
}

bool SimDictation::pressSystemHotkey() {
  const auto hotkeys = services_.defaults.object(dictationshortcut::domain, dictationshortcut::key);
  const auto shortcut = hotkeys ? dictationshortcut::configured(*hotkeys) : std::nullopt;
  if (!shortcut) {
    return false;
  }
  postKey(static_cast<KeyCode>(shortcut->keyCode), static_cast<EventFlags>(shortcut->flags));
  return true;
}

bool SimDictation::invokeMenuItem() {
  const auto frontmost = services_.workspace.frontmostApplication();
  if (!frontmost) {
    return false;
  }
  Accessibility& accessibility = services_.accessibility;
  const AXElement application = accessibility.applicationElement(frontmost->processIdentifier);
  const auto menuBar =
      axValueAs<AXElement>(accessibility.copyAttributeValue(application, ax::MenuBar));
  if (!menuBar) {
    return false;
  }
  const auto item = findDictationItem(*menuBar, 0);
  return item && accessibility.performAction(*item, ax::Press);
}

bool SimDictation::isDictationTitle(std::string_view lowercasedTitle) {
  return containsAny(lowercasedTitle, dictationWords) &&
         !containsAny(lowercasedTitle, settingsWords);
}

std::optional<AXElement> SimDictation::findDictationItem(const AXElement& element, int depth) {
  if (depth > maximumMenuDepth) {
    return std::nullopt;
  }
  Accessibility& accessibility = services_.accessibility;
  const auto children =
      axValueAs<std::vector<AXElement>>(accessibility.copyAttributeValue(element, ax::Children));
  if (!children) {
    return std::nullopt;
  }
  for (const AXElement& child : *children) {
    const auto title = axValueAs<std::string>(accessibility.copyAttributeValue(child, ax::Title));
    if (title && isDictationTitle(lowercased(*title))) {
      // Only an item known to be disabled is passed over.
      const auto enabled = axValueAs<bool>(accessibility.copyAttributeValue(child, ax::Enabled));
      if (enabled != false) {
        return child;
      }
    }
    if (auto found = findDictationItem(child, depth + 1)) {
      return found;
    }
  }
  return std::nullopt;
}

// Marked like every other key the product posts, so our own tap lets the
// combination through to the system.
void SimDictation::postFallbackEvent(EventType type, KeyCode keyCode, EventFlags flags) {
  Event event(type, flags);
  if (const EventSource* source = this->source()) {
    event.setIntegerField(EventField::SourceUserData, source->userData());
  }
  event.setIntegerField(EventField::KeyboardKeycode, keyCode);
  services_.eventTaps.post(event, TapLocation::Hid);
}

void SimDictation::pressFnF5() {
  postFallbackEvent(EventType::FlagsChanged, keycode::Function, flag::Fn);
  services_.clock.sleep(fallbackPause);
  postFallbackEvent(EventType::KeyDown, keycode::F5, flag::Fn);
  services_.clock.sleep(fallbackPause);
  postFallbackEvent(EventType::KeyUp, keycode::F5, flag::Fn);
  services_.clock.sleep(fallbackPause);
  postFallbackEvent(EventType::FlagsChanged, keycode::Function, 0);
}

} // namespace quillon
