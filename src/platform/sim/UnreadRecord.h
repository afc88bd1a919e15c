#pragma once

#include <cstddef>
#include <deque>
#include <iterator>
#include <vector>

namespace quillon {

// What the simulated desktop keeps of something it reports (log lines,
// delivered events, sounds, …) until a test or a script reads it. Reading
// releases what was read, and what nobody reads is bounded, the oldest going
// first, so a run holds the same memory however long it lasts.
template <typename T> class UnreadRecord {
public:
  explicit UnreadRecord(std::size_t capacity) : capacity_(capacity) {}

  void push(T item) {
    if (capacity_ == 0) {
      return;
    }
    if (items_.size() == capacity_) {
      items_.pop_front();
    }
    items_.push_back(std::move(item));
    ++recordedCount_;
  }

  // Everything not yet taken, oldest first; the record is empty afterwards.
  std::vector<T> take() {
    std::vector<T> taken(std::make_move_iterator(items_.begin()),
                         std::make_move_iterator(items_.end()));
    items_.clear();
    return taken;
  }

  const std::deque<T>& items() const { return items_; }
  std::vector<T> copy() const { return {items_.begin(), items_.end()}; }
  void clear() { items_.clear(); }
  // Every item ever pushed, whether since taken, dropped or still here.
  std::size_t recordedCount() const { return recordedCount_; }

private:
  std::deque<T> items_;
  std::size_t capacity_;
  std::size_t recordedCount_ = 0;
};

} // namespace quillon
