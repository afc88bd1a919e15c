#pragma once

#include "platform/Event.h"
#include "platform/Pasteboard.h"
#include "platform/sim/SimInputSources.h"
#include "platform/sim/UnreadRecord.h"

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

  SimTextField(SimInputSources& sources, Pasteboard& pasteboard)
      : sources_(sources), pasteboard_(pasteboard) {}

  void receive(const Event& event);

  const std::string& text() const { return text_; }
  void clear();
  void setText(std::string text);
  void selectAll();
  std::string selectedText() const;
  // The unread events, which are then released.
  std::vector<DeliveredEvent> takeDeliveredEvents() { return delivered_.take(); }
  // The unread events, oldest first.
  const std::deque<DeliveredEvent>& deliveredEvents() const { return delivered_.items(); }
  // Every event ever received, read or not.
  std::size_t deliveredCount() const { return delivered_.recordedCount(); }

private:
  void handleKeyDown(const Event& event);
  bool handleCommandShortcut(KeyCode key);
  void insert(std::string_view text);
  void deleteBackward();
  void moveCaret(bool forward);

  SimInputSources& sources_;
  Pasteboard& pasteboard_;
  std::string text_;
  // Byte offsets into text_, always on character boundaries; the caret is at
  // selectionEnd_.
  std::size_t selectionStart_ = 0;
  std::size_t selectionEnd_ = 0;
  UnreadRecord<DeliveredEvent> delivered_{maximumUnreadEvents};
};

} // namespace quillon
