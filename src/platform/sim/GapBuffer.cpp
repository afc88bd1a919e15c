#include "platform/sim/GapBuffer.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {
// The gap a growing buffer starts with, so short texts do not regrow at
// every key.
constexpr std::size_t minimumGap = 64;
} // namespace

std::string GapBuffer::text() const {
  std::string whole;
  whole.reserve(size());
  whole.append(beforeCaret());
  whole.append(afterCaret());
  return whole;
}

void GapBuffer::moveCaret(std::size_t offset) {
  offset = std::min(offset, size());
  if (offset < gapStart_) {
    const std::size_t moved = gapStart_ - offset;
    std::memmove(buffer_.data() + gapEnd_ - moved, buffer_.data() + offset, moved);
    gapStart_ -= moved;
    gapEnd_ -= moved;
  } else if (offset > gapStart_) {
    const std::size_t moved = offset - gapStart_;
    std::memmove(buffer_.data() + gapStart_, buffer_.data() + gapEnd_, moved);
    gapStart_ += moved;
    gapEnd_ += moved;
  }
}

void GapBuffer::insert(std::string_view text) {
  reserveGap(text.size());
  std::memcpy(buffer_.data() + gapStart_, text.data(), text.size());
  gapStart_ += text.size();
}

void GapBuffer::eraseBeforeCaret(std::size_t count) {
  gapStart_ -= std::min(count, gapStart_);
}

void GapBuffer::assign(std::string text) {
  buffer_ = std::move(text);
  gapStart_ = gapEnd_ = buffer_.size();
}

void GapBuffer::reserveGap(std::size_t length) {
  if (gapEnd_ - gapStart_ >= length) {
    return;
  }
  // Doubling keeps the cost of growth constant per inserted byte.
  const std::size_t gap = std::max({length, size(), minimumGap});
  std::string grown;
  grown.reserve(size() + gap);
  grown.append(beforeCaret());
  grown.append(gap, '\0');
  grown.append(afterCaret());
  gapEnd_ = gapStart_ + gap;
  buffer_ = std::move(grown);
}

} // namespace quillon
