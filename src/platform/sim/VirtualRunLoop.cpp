#include "platform/sim/VirtualRunLoop.h"

#include <algorithm>
#include <utility>

namespace quillon {

struct VirtualRunLoop::Entry {
  TimePoint due;
  std::uint64_t sequence = 0;
  std::chrono::nanoseconds interval{0}; // zero for one-shot tasks
  Task task;
  bool cancelled = false;
};

class VirtualRunLoop::Token final : public ScheduledTask::Token {
public:
  explicit Token(std::weak_ptr<Entry> entry) : entry_(std::move(entry)) {}
  void cancel() override {
    if (const auto entry = entry_.lock()) {
      entry->cancelled = true;
    }
  }

private:
  std::weak_ptr<Entry> entry_;
};

VirtualRunLoop::VirtualRunLoop(VirtualClock& clock) : clock_(clock) {}

VirtualRunLoop::~VirtualRunLoop() = default;

void VirtualRunLoop::async(Task task) {
  enqueue(Duration::zero(), Duration::zero(), std::move(task));
}

void VirtualRunLoop::asyncAfter(Duration delay, Task task) {
  enqueue(delay, Duration::zero(), std::move(task));
}

ScheduledTask VirtualRunLoop::scheduleAfter(Duration delay, Task task) {
  return ScheduledTask(std::make_unique<Token>(enqueue(delay, Duration::zero(), std::move(task))));
}

ScheduledTask VirtualRunLoop::scheduleRepeating(Duration interval, Task task) {
  return ScheduledTask(std::make_unique<Token>(enqueue(interval, interval, std::move(task))));
}

std::shared_ptr<VirtualRunLoop::Entry> VirtualRunLoop::enqueue(Duration delay, Duration interval,
                                                               Task task) {
  auto entry = std::make_shared<Entry>();
  entry->due = clock_.now() + toNanoseconds(std::max(delay, Duration::zero()));
  entry->sequence = nextSequence_++;
  entry->interval = toNanoseconds(std::max(interval, Duration::zero()));
  entry->task = std::move(task);
  entries_.push_back(entry);
  return entry;
}

std::shared_ptr<VirtualRunLoop::Entry> VirtualRunLoop::takeNextDue(TimePoint limit) {
  std::erase_if(entries_, [](const auto& entry) { return entry->cancelled; });
  const auto earliest =
      std::min_element(entries_.begin(), entries_.end(), [](const auto& left, const auto& right) {
        return std::tie(left->due, left->sequence) < std::tie(right->due, right->sequence);
      });
  if (earliest == entries_.end() || (*earliest)->due > limit) {
    return nullptr;
  }
  auto entry = *earliest;
  entries_.erase(earliest);
  return entry;
}

void VirtualRunLoop::advance(Duration duration) {
  const TimePoint limit = clock_.now() + toNanoseconds(std::max(duration, Duration::zero()));
  const bool wasRunning = std::exchange(running_, true);
  while (auto entry = takeNextDue(std::max(limit, clock_.now()))) {
    clock_.advanceTo(entry->due);
    if (entry->interval.count() > 0) {
      // A repeating timer skips the ticks a long sleep made it miss, as a
      // real run-loop timer does, and keeps its phase.
      entry->due += entry->interval;
      while (entry->due <= clock_.now()) {
        entry->due += entry->interval;
      }
      entry->sequence = nextSequence_++;
      entries_.push_back(entry);
    }
    // Copy: the task may cancel its own timer while it runs.
    Task task = entry->task;
    task();
  }
  running_ = wasRunning;
  clock_.advanceTo(limit);
}

std::size_t VirtualRunLoop::pendingCount() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return !e->cancelled; }));
}

} // namespace quillon
