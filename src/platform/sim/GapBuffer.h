#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// Text with a gap at the caret, as editors keep it: typing and deleting at
// the caret cost the same whatever the length of the text around it, and
// moving the caret costs the distance moved.
class GapBuffer {
public:
  std::size_t size() const { return buffer_.size() - (gapEnd_ - gapStart_); }
  // A byte offset.
  std::size_t caret() const { return gapStart_; }
  std::string_view beforeCaret() const { return {buffer_.data(), gapStart_}; }
  std::string_view afterCaret() const {
    return {buffer_.data() + gapEnd_, buffer_.size() - gapEnd_};
  }
  std::string text() const;

  // To a byte offset, at most the end.
  void moveCaret(std::size_t offset);
  // Before the caret, which ends up after the inserted text.
  void insert(std::string_view text);
  // At most count bytes right before the caret.
  void eraseBeforeCaret(std::size_t count);
  // Replaces the whole text, the caret at its end.
  void assign(std::string text);

private:
  void reserveGap(std::size_t length);

  std::string buffer_;
  std::size_t gapStart_ = 0;
  std::size_t gapEnd_ = 0;
};

} // namespace quillon
