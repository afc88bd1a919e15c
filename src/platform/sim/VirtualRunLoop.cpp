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
  const auto due = laterBy(clock_.now(), delay);
  if (!due) {
    // Due after the latest time the clock can hold: it never runs.
    return entry;
  }
  entry->due = *due;
  entry->sequence = nextSequence_++;
  // A repeating timer's interval is its first delay, which fits.
  entry->interval = toNanoseconds(std::max(interval, Duration::zero()));
  entry->task = std::move(task);
  entries_.push_back(entry);
  return entry;
}

std::optional<TimePoint> VirtualRunLoop::nextTick(const Entry& timer, TimePoint now) {
  // A repeating timer skips the ticks a long sleep made it miss, as a real
  // run-loop timer does, and keeps its phase.
  const std::chrono::nanoseconds room = VirtualClock::latest - timer.due;
  const auto ticks = (now - timer.due) / timer.interval + 1;
  if (ticks > room / timer.interval) {
    return std::nullopt;
  }
  return timer.due + ticks * timer.interval;
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
  const TimePoint limit = laterBy(clock_.now(), duration).value_or(VirtualClock::latest);
  const bool wasRunning = std::exchange(running_, true);
  while (auto entry = takeNextDue(std::max(limit, clock_.now()))) {
    clock_.advanceTo(entry->due);
    if (entry->interval.count() > 0) {
      // A timer whose next tick lies past the end of time has ticked its
      // last.
      if (const auto next = nextTick(*entry, clock_.now())) {
        entry->due = *next;
        entry->sequence = nextSequence_++;
        entries_.push_back(entry);
      }
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
