#pragma once

#include <cassert>
#include <cstddef>
#include <utility>
#include <vector>

namespace quillon {

// What the simulated desktop keeps of something it reports (log lines,
// delivered events, sounds, …) until a test or a script reads it. Reading
// releases what was read, and what nobody reads is bounded, the oldest going
// first, so a run holds the same memory however long it lasts.
//
// A ring: once full, a new item is moved into the oldest one's place, which
// reuses its storage, since every key of a long run passes through here.
template <typename T> class UnreadRecord {
public:
  explicit UnreadRecord(std::size_t capacity) : capacity_(capacity) {}

  void push(T item) {
    if (capacity_ == 0) {
      return;
    }
    ++recordedCount_;
    if (items_.size() < capacity_) {
      items_.push_back(std::move(item));
      return;
    }
    items_[oldest_] = std::move(item);
    oldest_ = (oldest_ + 1) % capacity_;
  }

  // Everything not yet taken, oldest first; the record is empty afterwards.
  std::vector<T> take() {
    std::vector<T> taken;
    taken.reserve(items_.size());
    for (std::size_t index = 0; index < items_.size(); ++index) {
      taken.push_back(std::move(items_[slot(index)]));
    }
    clear();
    return taken;
  }

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  // The index-th unread item, oldest first.
  const T& at(std::size_t index) const {
    assert(index < items_.size() && "an unread item past the end");
    return items_[slot(index)];
  }
  std::vector<T> copy() const {
    std::vector<T> copied;
    copied.reserve(items_.size());
    for (std::size_t index = 0; index < items_.size(); ++index) {
      copied.push_back(at(index));
    }
    return copied;
  }
  void clear() {
    items_.clear();
    oldest_ = 0;
  }
  // Every item ever pushed, whether since taken, dropped or still here.
  std::size_t recordedCount() const { return recordedCount_; }

private:
  std::size_t slot(std::size_t index) const { return (oldest_ + index) % items_.size(); }

  std::vector<T> items_;
  std::size_t oldest_ = 0;
  std::size_t capacity_;
  std::size_t recordedCount_ = 0;
};

} // namespace quillon
