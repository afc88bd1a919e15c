#pragma once

#include "platform/MainQueue.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace quillon {

// Tasks that run one at a time, in order, off the main thread: a queue of
// its own on top of the shared background queue, which may run its tasks
// side by side.
class SerialQueue {
public:
  explicit SerialQueue(BackgroundQueue& background) : background_(background) {}
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void async(Task task);

  // For an owner about to go: drops the tasks not yet started and waits, at
  // most bound, for the one under way. Answers whether it ended in time.
  bool finish(Duration bound);

private:
  struct State {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<Task> tasks;
    bool draining = false;
    bool running = false;
  };
  static void drain(const std::shared_ptr<State>& state);

  BackgroundQueue& background_;
  // Shared with the drain under way, which may outlive the queue.
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace quillon
