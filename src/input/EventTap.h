#pragma once

#include "core/ActionTable.h"
#include "core/HUDOverlay.h"
#include "core/Settings.h"
#include "input/EventSynthesizer.h"
#include "input/FnTapDetector.h"
#include "input/LanguageSwitcher.h"
#include "input/ModifierTapDetector.h"
#include "input/OneCDoubleClick.h"
#include "input/PunctuationDoubleTap.h"
#include "input/ShiftTapDetector.h"
#include "layout/AutoSwitcher.h"
#include "layout/LayoutTranslator.h"
#include "layout/SelectionConverter.h"
#include "platform/EventTaps.h"
#include "platform/InputSources.h"
#include "platform/Lifetime.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace quillon {

// The product's single system-wide input interceptor. Every key press,
// modifier change, left mouse press and scroll passes through handle(),
// which decides in a fixed order what the event is: a disabled-tap notice,
// the product's own output, a gesture, a hotkey, a remap, or an ordinary
// event to deliver.
class EventTap {
public:
  // Left mouse down, key down, flags changed and scroll wheel; key-ups and
  // other mouse events are never requested.
  static constexpr std::uint64_t EventMask =
      eventMaskBit(EventType::LeftMouseDown) | eventMaskBit(EventType::KeyDown) |
      eventMaskBit(EventType::FlagsChanged) | eventMaskBit(EventType::ScrollWheel);
  static_assert(EventMask == 0x401402);

  struct Dependencies {
    EventTaps& eventTaps;
    InputSources& inputSources;
    Pasteboard& pasteboard;
    MainQueue& mainQueue;
    Clock& clock;
    Log& log;
    Sound& sound;
    const Workspace& workspace;
    const Localization& localization;
    Settings& settings;
    const ActionTable& actions;
    EventSynthesizer& synthesizer;
    LanguageSwitcher& languageSwitcher;
    HUDOverlay& hud;
  };

  explicit EventTap(const Dependencies& dependencies);
  EventTap(const EventTap&) = delete;
  EventTap& operator=(const EventTap&) = delete;

  // Installs and enables the tap; false (and nothing changed) when the system
  // refuses, typically for lack of accessibility permission. Called once.
  bool start();
  bool isRunning() const { return port_ && port_->isEnabled(); }

  TapVerdict handle(Event& event);

  AutoSwitcher& autoSwitcher() { return autoSwitcher_; }
  SelectionConverter& selectionConverter() { return selectionConverter_; }

private:
  // The dispatch steps, in the order events meet them.
  void handleFlagsChanged(EventFlags flags);
  TapVerdict handleKeyDown(Event& event);
  bool performHotkey(const Event& event);
  bool replaceDoubleTappedPunctuation(const Event& event);
  bool remapToCommand(Event& event);
  bool commandRemapApplies() const;
  bool correctLayout(const Event& event);
  void convertSelection();
  void handleLeftMouseDown(const Event& event);
  void noticeFocusedWindow();
  void handleScrollWheel(Event& event);

  // What the gestures do.
  void onCommandShiftTap();
  void onFnControl();
  void onShiftDoubleTap();
  void toggleAutoSwitch();

  void queue(Task task);
  void reenable();

  Dependencies services_;
  std::unique_ptr<EventTapPort> port_;
  ModifierTapDetector modifierDetector_;
  FnTapDetector fnDetector_;
  ShiftTapDetector shiftDetector_;
  PunctuationDoubleTap punctuation_;
  OneCDoubleClick oneCDoubleClick_;
  LayoutTranslator translator_;
  AutoSwitcher autoSwitcher_;
  SelectionConverter selectionConverter_;
  // Where the last key press went.
  struct Focus {
    std::optional<int> process;
    std::optional<std::uint64_t> window;
    friend bool operator==(const Focus&, const Focus&) = default;
  };
  Focus focus_;
  Lifetime lifetime_;
};

} // namespace quillon
