// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

enum class EventType : std::uint32_t {
  Null = 0,
  LeftMouseDown = 1,
  LeftMouseUp = 2,
  MouseMoved = 5,
  KeyDown = 10,
  KeyUp = 11,
  FlagsChanged = 12,
  ScrollWheel = 22,
  TapDisabledByTimeout = 0xFFFFFFFE,
  TapDisabledByUserInput = 0xFFFFFFFF,
};

// Event fields by their platform numbers, so that logic written against the
// numbers in the product's documentation reads the same values on any backend.
enum class EventField : std::uint32_t {
  // 1 for a single click, 2 for the second click of a double click, …
  MouseEventClickState = 1,
  KeyboardKeycode = 9,
  ScrollWheelDeltaAxis1 = 11,
  ScrollWheelDeltaAxis2 = 12,
  ScrollWheelDeltaAxis3 = 13,
  SourceUserData = 42,
  ScrollWheelIsContinuous = 88,
  ScrollWheelFixedPtDeltaAxis1 = 93,
  ScrollWheelFixedPtDeltaAxis2 = 94,
  ScrollWheelFixedPtDeltaAxis3 = 95,
  ScrollWheelPointDeltaAxis1 = 96,
  ScrollWheelPointDeltaAxis2 = 97,
  ScrollWheelPointDeltaAxis3 = 98,
};

// Stamped into SourceUserData of every event the product posts itself, so the
// tap recognises its own output and never processes it a second time.
inline constexpr std::int64_t SyntheticEventMarker = 0x514C4C4E; // "QLLN"

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Bit of an event mask for one event type, as taps request them.
constexpr std::uint64_t eventMaskBit(EventType type) {
  return std::uint64_t{1} << static_cast<std::uint32_t>(type);
}

// One input event: the neutral value every backend converts its native events
// into at the boundary, and back when posting.
class Event {
public:
  // The fields of the EventField list, each with a slot of its own: an event
  // stays small enough to copy at every step of its way.
  static constexpr std::size_t FieldCount = 13;

  Event() = default;
  explicit Event(EventType type) : type_(type) {}
  Event(EventType type, EventFlags flags) : type_(type), flags_(flags), flagsGiven_(true) {}

  EventType type() const { return type_; }
  EventFlags flags() const { return flags_; }
  void setFlags(EventFlags flags) {
    flags_ = flags;
    flagsGiven_ = true;
  }
  // Whether the flags were set on the event. A posted event without them
  // may take the modifiers the user is holding, as the platform does for
  // events made from a combined-session source.
  bool hasExplicitFlags() const { return flagsGiven_; }
  Point location() const { return location_; }
  void setLocation(Point location) { location_ = location; }

  // Reads of field numbers outside the EventField list answer 0 and writes
  // are ignored, as the platform does for fields an event type does not
  // carry.
  std::int64_t integerField(EventField field) const {
    const std::size_t slot = slotOf(field);
    return slot < FieldCount ? integerFields_[slot] : 0;
  }
  void setIntegerField(EventField field, std::int64_t value) {
    if (const std::size_t slot = slotOf(field); slot < FieldCount) {
      integerFields_[slot] = value;
    }
  }
  double doubleField(EventField field) const {
    const std::size_t slot = slotOf(field);
    return slot < FieldCount ? doubleFields_[slot] : 0.0;
  }
  void setDoubleField(EventField field, double value) {
    if (const std::size_t slot = slotOf(field); slot < FieldCount) {
      doubleFields_[slot] = value;
    }
  }

  KeyCode keyCode() const {
    return static_cast<KeyCode>(integerField(EventField::KeyboardKeycode));
  }
  bool isMarkedSynthetic() const {
    return integerField(EventField::SourceUserData) == SyntheticEventMarker;
  }

  // The text a keyboard event carries explicitly (UTF-16, as the platform
  // stores it); when empty the receiver derives text from the key code.
  const std::u16string& unicodeString() const { return unicodeString_; }
  void setUnicodeString(std::u16string text) { unicodeString_ = std::move(text); }

private:
  // Field number to slot, FieldCount for numbers outside the list. Every
  // event read on the way of every key goes through here, so it is a table.
  static constexpr std::size_t HighestFieldNumber = 98;
  static constexpr std::array<std::uint8_t, HighestFieldNumber + 1> SlotTable = [] {
    std::array<std::uint8_t, HighestFieldNumber + 1> table{};
    table.fill(FieldCount);
    constexpr std::array<EventField, FieldCount> fields{
        EventField::KeyboardKeycode,
        EventField::ScrollWheelDeltaAxis1,
        EventField::ScrollWheelDeltaAxis2,
        EventField::ScrollWheelDeltaAxis3,
        EventField::SourceUserData,
        EventField::ScrollWheelIsContinuous,
        EventField::ScrollWheelFixedPtDeltaAxis1,
        EventField::ScrollWheelFixedPtDeltaAxis2,
        EventField::ScrollWheelFixedPtDeltaAxis3,
        EventField::ScrollWheelPointDeltaAxis1,
        EventField::ScrollWheelPointDeltaAxis2,
        EventField::ScrollWheelPointDeltaAxis3,
        EventField::MouseEventClickState,
    };
    for (std::size_t slot = 0; slot < fields.size(); ++slot) {
      table[static_cast<std::size_t>(fields[slot])] = static_cast<std::uint8_t>(slot);
    }
    return table;
  }();
  static constexpr std::size_t slotOf(EventField field) {
    const auto number = static_cast<std::size_t>(field);
    return number < SlotTable.size() ? SlotTable[number] : FieldCount;
  }

  EventType type_ = EventType::Null;
  EventFlags flags_ = 0;
  bool flagsGiven_ = false;
  Point location_;
  std::array<std::int64_t, FieldCount> integerFields_{};
  std::array<double, FieldCount> doubleFields_{};
  std::u16string unicodeString_;
};

// Where posted events come from: carries the user data stamped into field 42.
class EventSource {
public:
  explicit EventSource(std::int64_t userData = 0) : userData_(userData) {}
  std::int64_t userData() const { return userData_; }
  void setUserData(std::int64_t userData) { userData_ = userData; }

private:
  std::int64_t userData_;
};

// A key-down or key-up with no flags, stamped with the source's user data
// when a source is given.
Event makeKeyboardEvent(const EventSource* source, KeyCode keyCode, bool keyDown);

} // namespace quillon
