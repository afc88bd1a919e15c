#include "platform/sim/SimTextField.h"

#include "text/Unicode.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace quillon {

namespace {

// Moves one code point over well-formed UTF-8 and one byte over anything
// else, for when ICU cannot segment.
std::size_t previousCodePointStart(std::string_view text) {
  std::size_t offset = text.size();
  while (offset > 0) {
    --offset;
    if ((static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80) {
      break;
    }
  }
  return offset;
}

std::size_t nextCodePointEnd(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  int32_t offset = 0;
  nextCodePoint(text, offset);
  return static_cast<std::size_t>(offset);
}

// The code point ending at offset, which moves to its start; negative for
// malformed UTF-8.
UChar32 previousCodePoint(std::string_view text, int32_t& offset) {
  UChar32 codePoint = 0;
// ICU's decoding macro narrows internally.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
  U8_PREV(text.data(), 0, offset, codePoint);
#pragma GCC diagnostic pop
  return codePoint;
}

// Neither a control, a mark, a joiner, half a flag nor a Hangul jamo: no
// rule joins two of these into one character.
bool standsAlone(UChar32 codePoint) {
  return codePoint >= 0 &&
         u_getIntPropertyValue(codePoint, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_OTHER;
}

// The start of the last character when it and the one before it both stand
// alone, which is most text, so most Deletes need no segmentation.
std::optional<std::size_t> plainLastCharacterStart(std::string_view text) {
  int32_t lastStart = static_cast<int32_t>(text.size());
  if (lastStart == 0 || !standsAlone(previousCodePoint(text, lastStart))) {
    return std::nullopt;
  }
  int32_t previousStart = lastStart;
  if (lastStart > 0 && !standsAlone(previousCodePoint(text, previousStart))) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(lastStart);
}

// ICU reads the UTF-8 in place, so nothing is copied or converted.
class Utf8Text {
public:
  explicit Utf8Text(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    utext_openUTF8(&text_, text.data(), static_cast<int64_t>(text.size()), &status);
    valid_ = U_SUCCESS(status);
  }
  ~Utf8Text() { utext_close(&text_); }
  Utf8Text(const Utf8Text&) = delete;
  Utf8Text& operator=(const Utf8Text&) = delete;

  // Points the iterator at the text; false if ICU refused.
  bool attach(icu::BreakIterator& iterator) {
    UErrorCode status = U_ZERO_ERROR;
    if (valid_) {
      iterator.setText(&text_, status);
    }
    return valid_ && U_SUCCESS(status);
  }

private:
  UText text_ = UTEXT_INITIALIZER;
  bool valid_ = false;
};

} // namespace

SimTextField::SimTextField(SimInputSources& sources, Pasteboard& pasteboard)
    : sources_(sources), pasteboard_(pasteboard) {
  UErrorCode status = U_ZERO_ERROR;
  characters_.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) {
    characters_.reset();
  }
}

void SimTextField::receive(const Event& event) {
  std::optional<ScrollDeltas> scroll;
  if (event.type() == EventType::ScrollWheel) {
    scroll = ScrollDeltas{event.integerField(EventField::ScrollWheelDeltaAxis1),
                          event.integerField(EventField::ScrollWheelDeltaAxis2),
                          event.doubleField(EventField::ScrollWheelFixedPtDeltaAxis1),
                          event.doubleField(EventField::ScrollWheelFixedPtDeltaAxis2),
                          event.doubleField(EventField::ScrollWheelPointDeltaAxis1),
                          event.doubleField(EventField::ScrollWheelPointDeltaAxis2),
                          event.integerField(EventField::ScrollWheelIsContinuous) != 0};
  }
  delivered_.push({event.type(), event.keyCode(), event.flags(), event.isMarkedSynthetic(),
                   event.unicodeString().empty()
                       ? std::string()
                       : toUtf8(std::u16string_view(event.unicodeString())),
                   scroll, event.location()});
  if (event.type() == EventType::KeyDown) {
    handleKeyDown(event);
  }
}

void SimTextField::handleKeyDown(const Event& event) {
  if (!event.unicodeString().empty()) {
    insert(toUtf8(std::u16string_view(event.unicodeString())));
    return;
  }
  const EventFlags flags = event.flags();
  const KeyCode key = event.keyCode();
  if (hasFlag(flags, flag::Command)) {
    handleCommandShortcut(key);
    return;
  }
  switch (key) {
  case keycode::Delete:
    deleteBackward();
    return;
  case keycode::Return:
    insert("\n");
    return;
  case keycode::Tab:
    insert("\t");
    return;
  case keycode::LeftArrow:
    moveCaret(false);
    return;
  case keycode::RightArrow:
    moveCaret(true);
    return;
  default:
    break;
  }
  if (hasFlag(flags, flag::Control)) {
    return;
  }
  const XkbLayout* layout = sources_.currentLayout();
  if (layout == nullptr) {
    return;
  }
  const KeyModifiers modifiers{hasFlag(flags, flag::Shift), hasFlag(flags, flag::CapsLock),
                               hasFlag(flags, flag::Option)};
  insert(layout->text(key, modifiers));
}

bool SimTextField::handleCommandShortcut(KeyCode key) {
  const bool hasSelection = selectionStart_ != text_.caret();
  switch (key) {
  case keycode::A:
    selectAll();
    return true;
  case keycode::C:
    if (hasSelection) {
      pasteboard_.setString(selectedText());
    }
    return true;
  case keycode::X:
    if (hasSelection) {
      pasteboard_.setString(selectedText());
      insert("");
    }
    return true;
  case keycode::V:
    if (const auto pasted = pasteboard_.string()) {
      insert(*pasted);
    }
    return true;
  default:
    return false;
  }
}

void SimTextField::insert(std::string_view inserted) {
  text_.eraseBeforeCaret(text_.caret() - selectionStart_);
  text_.insert(inserted);
  selectionStart_ = text_.caret();
}

void SimTextField::deleteBackward() {
  if (selectionStart_ == text_.caret()) {
    selectionStart_ = characterStartBeforeCaret();
  }
  insert("");
}

void SimTextField::moveCaret(bool forward) {
  text_.moveCaret(forward ? characterEndAfterCaret() : characterStartBeforeCaret());
  selectionStart_ = text_.caret();
}

// The start of the character that ends at the caret depends only on the text
// before it, and ICU finds it by backing up a little from the end.
std::size_t SimTextField::characterStartBeforeCaret() {
  const std::string_view before = text_.beforeCaret();
  if (const auto start = plainLastCharacterStart(before)) {
    return *start;
  }
  Utf8Text text(before);
  if (!characters_ || !text.attach(*characters_)) {
    return previousCodePointStart(before);
  }
  const int32_t start = characters_->preceding(static_cast<int32_t>(before.size()));
  return start == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(start);
}

// The caret sits on a boundary, so the character after it is found from the
// text after it alone.
std::size_t SimTextField::characterEndAfterCaret() {
  const std::string_view after = text_.afterCaret();
  Utf8Text text(after);
  if (!characters_ || !text.attach(*characters_)) {
    return text_.caret() + nextCodePointEnd(after);
  }
  const int32_t end = characters_->following(0);
  return text_.caret() +
         (end == icu::BreakIterator::DONE ? after.size() : static_cast<std::size_t>(end));
}

void SimTextField::clear() {
  setText("");
}

void SimTextField::setText(std::string text) {
  text_.assign(std::move(text));
  selectionStart_ = text_.caret();
}

void SimTextField::selectAll() {
  text_.moveCaret(text_.size());
  selectionStart_ = 0;
}

std::string SimTextField::selectedText() const {
  return std::string(text_.beforeCaret().substr(selectionStart_));
}

} // namespace quillon
