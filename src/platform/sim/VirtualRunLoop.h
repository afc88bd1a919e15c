#pragma once

#include "platform/MainQueue.h"
#include "platform/sim/VirtualClock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace quillon {

// The simulated main thread: tasks and timers ordered by due time, then by
// the order they were scheduled, run only when virtual time is advanced.
// Background work joins the same order, which keeps every run reproducible.
class VirtualRunLoop final : public MainQueue {
public:
  explicit VirtualRunLoop(VirtualClock& clock);
  ~VirtualRunLoop() override;
  VirtualRunLoop(const VirtualRunLoop&) = delete;
  VirtualRunLoop& operator=(const VirtualRunLoop&) = delete;

  void async(Task task) override;
  void asyncAfter(Duration delay, Task task) override;
  ScheduledTask scheduleAfter(Duration delay, Task task) override;
  ScheduledTask scheduleRepeating(Duration interval, Task task) override;

  // Runs everything due up to now + duration, in order, moving the clock to
  // each task's due time; a task that sleeps moves it further.
  void advance(Duration duration);
  // Runs what is due now, including what those tasks queue for now.
  void runUntilIdle() { advance(Duration::zero()); }
  // True while advance runs tasks, so a task's own doings do not start a
  // second run inside the first.
  bool isRunning() const { return running_; }
  std::size_t pendingCount() const;

  BackgroundQueue& backgroundQueue() { return background_; }

private:
  struct Entry;
  class Token;
  class Background final : public BackgroundQueue {
  public:
    explicit Background(VirtualRunLoop& loop) : loop_(loop) {}
    void async(Task task) override { loop_.async(std::move(task)); }

  private:
    VirtualRunLoop& loop_;
  };

  std::shared_ptr<Entry> enqueue(Duration delay, Duration interval, Task task);
  std::shared_ptr<Entry> takeNextDue(TimePoint limit);
  static std::optional<TimePoint> nextTick(const Entry& timer, TimePoint now);

  VirtualClock& clock_;
  std::vector<std::shared_ptr<Entry>> entries_;
  std::uint64_t nextSequence_ = 0;
  bool running_ = false;
  Background background_{*this};
};

} // namespace quillon
