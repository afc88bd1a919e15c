#include "platform/sim/SimTextField.h"

#include "text/Unicode.h"

#include <algorithm>
#include <memory>

namespace quillon {

namespace {

std::string toUtf8(const std::u16string& text) {
  return quillon::toUtf8(icu::UnicodeString(text.data(), static_cast<int32_t>(text.size())));
}

// The byte offset of the character boundary before (or after) the given
// offset, so Delete and the arrows never split a user-perceived character.
std::size_t graphemeBoundary(const std::string& text, std::size_t offset, bool forward) {
  std::size_t before = 0;
  std::optional<std::size_t> after;
  std::size_t end = 0;
  forEachCharacter(text, [&](std::string_view character) {
    const std::size_t start = end;
    end += character.size();
    if (end <= offset) {
      before = end == offset ? start : end;
    } else if (start < offset) {
      before = start;
    }
    if (!after && start >= offset && end > offset) {
      after = end;
    }
  });
  return forward ? after.value_or(text.size()) : before;
}

} // namespace

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
                   toUtf8(event.unicodeString()), scroll, event.location()});
  if (event.type() == EventType::KeyDown) {
    handleKeyDown(event);
  }
}

void SimTextField::handleKeyDown(const Event& event) {
  if (!event.unicodeString().empty()) {
    insert(toUtf8(event.unicodeString()));
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
  switch (key) {
  case keycode::A:
    selectAll();
    return true;
  case keycode::C:
    if (selectionStart_ != selectionEnd_) {
      pasteboard_.setString(selectedText());
    }
    return true;
  case keycode::X:
    if (selectionStart_ != selectionEnd_) {
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
  text_.replace(selectionStart_, selectionEnd_ - selectionStart_, inserted);
  selectionStart_ += inserted.size();
  selectionEnd_ = selectionStart_;
}

void SimTextField::deleteBackward() {
  if (selectionStart_ == selectionEnd_) {
    selectionStart_ = graphemeBoundary(text_, selectionEnd_, false);
  }
  insert("");
}

void SimTextField::moveCaret(bool forward) {
  const std::size_t caret = forward ? graphemeBoundary(text_, selectionEnd_, true)
                                    : graphemeBoundary(text_, selectionEnd_, false);
  selectionStart_ = selectionEnd_ = std::min(caret, text_.size());
}

void SimTextField::clear() {
  setText("");
}

void SimTextField::setText(std::string text) {
  text_ = std::move(text);
  selectionStart_ = selectionEnd_ = text_.size();
}

void SimTextField::selectAll() {
  selectionStart_ = 0;
  selectionEnd_ = text_.size();
}

std::string SimTextField::selectedText() const {
  return text_.substr(selectionStart_, selectionEnd_ - selectionStart_);
}

} // namespace quillon
