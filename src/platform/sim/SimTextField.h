#pragma once

#include "platform/Event.h"
#include "platform/Pasteboard.h"
#include "platform/sim/GapBuffer.h"
#include "platform/sim/SimInputSources.h"
#include "platform/sim/UnreadRecord.h"

#include <unicode/brkiter.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct ScrollDeltas {
  std::int64_t axis1 = 0;
  std::int64_t axis2 = 0;
  double fixedPtAxis1 = 0;
  double fixedPtAxis2 = 0;
  double pointAxis1 = 0;
  double pointAxis2 = 0;
  bool continuous = false;
};

// What the focused application received, in a form tests and scripts read.
struct DeliveredEvent {
  EventType type;
  KeyCode keyCode;
  EventFlags flags;
  bool marked;
  std::string characters; // the text a unicode event carried
  std::optional<ScrollDeltas> scroll;
  Point location;
};

// The focused application: one editable text area. It types each delivered
// key through the current input source's layout, as an application would,
// and handles Delete, a selection and the clipboard shortcuts.
class SimTextField {
public:
  // Events beyond this many unread ones push out the oldest.
  static constexpr std::size_t maximumUnreadEvents = 10'000;

  SimTextField(SimInputSources& sources, Pasteboard& pasteboard);

  void receive(const Event& event);

  std::string text() const { return text_.text(); }
  void clear();
  void setText(std::string text);
  void selectAll();
  std::string selectedText() const;
  // The unread events, which are then released.
  std::vector<DeliveredEvent> takeDeliveredEvents() { return delivered_.take(); }
  // The unread events, oldest first.
  const UnreadRecord<DeliveredEvent>& deliveredEvents() const { return delivered_; }
  // Every event ever received, read or not.
  std::size_t deliveredCount() const { return delivered_.recordedCount(); }

private:
  void handleKeyDown(const Event& event);
  bool handleCommandShortcut(KeyCode key);
  void insert(std::string_view text);
  void deleteBackward();
  void moveCaret(bool forward);
  // Byte offsets of the user-perceived character boundaries next to the
  // caret, found from the nearby text only.
  std::size_t characterStartBeforeCaret();
  std::size_t characterEndAfterCaret();

  SimInputSources& sources_;
  Pasteboard& pasteboard_;
  GapBuffer text_;
  // A byte offset on a character boundary; the selection runs from it to
  // the caret.
  std::size_t selectionStart_ = 0;
  // Null if ICU has no character rules, and then boundaries fall between
  // code points.
  std::unique_ptr<icu::BreakIterator> characters_;
  UnreadRecord<DeliveredEvent> delivered_{maximumUnreadEvents};
};

} // namespace quillon
