// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"
#include "platform/Event.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quillon {

enum class TapLocation : std::uint32_t { Hid = 0, Session = 1, AnnotatedSession = 2 };
enum class TapPlacement : std::uint32_t { HeadInsert = 0, TailAppend = 1 };
// Default is an active filter: the callback may rewrite or drop events.
enum class TapOptions : std::uint32_t { Default = 0, ListenOnly = 1 };
enum class EventSourceState : std::int32_t { Private = -1, CombinedSession = 0, HidSystem = 1 };

struct TapRequest {
  TapLocation location = TapLocation::Session;
  TapPlacement placement = TapPlacement::HeadInsert;
  TapOptions options = TapOptions::Default;
  std::uint64_t eventMask = 0;
  friend bool operator==(const TapRequest&, const TapRequest&) = default;
};

enum class TapVerdict { Deliver, Swallow };
// Sees each requested event, and the disabled notices, before any application;
// may rewrite the event in place.
using TapCallback = std::function<TapVerdict(Event&)>;

// An installed tap; destroying it removes the tap from the system.
class EventTapPort {
public:
  virtual ~EventTapPort() = default;
  // Starts delivery on the main loop; before this the tap sees nothing.
  virtual void attachToMainLoop() = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
};

class EventTaps {
public:
  virtual ~EventTaps() = default;
  // Null when the system refuses (typically: no accessibility permission).
  virtual std::unique_ptr<EventTapPort> createTap(const TapRequest& request,
                                                  TapCallback callback) = 0;
  virtual void post(const Event& event, TapLocation location) = 0;
  virtual std::optional<EventSource> createSource(EventSourceState state) = 0;
  virtual Duration doubleClickInterval() const = 0;
  virtual Point pointerLocation() const = 0;
  // The modifiers held at this moment, whatever event is being handled.
  virtual EventFlags modifierFlags() const { return 0; }
  // The modifier applications take their standard shortcuts with (copy,
  // paste, select all): every shortcut the product sends to an application
  // uses it.
  virtual EventFlags standardShortcutModifier() const { return flag::Command; }
};

} // namespace quillon
