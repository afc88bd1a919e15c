#include "finder/SerialQueue.h"

namespace quillon {

void SerialQueue::async(Task task) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    if (state_->draining) {
      return;
    }
    state_->draining = true;
  }
  background_.async([state = state_] { drain(state); });
}

bool SerialQueue::finish(Duration bound) {
  std::unique_lock lock(state_->mutex);
  state_->tasks.clear();
  return state_->idle.wait_for(lock, bound, [this] { return !state_->running; });
}

void SerialQueue::drain(const std::shared_ptr<State>& state) {
  while (true) {
    Task next;
    {
      const std::lock_guard lock(state->mutex);
      if (state->tasks.empty()) {
        state->draining = false;
        return;
      }
      next = std::move(state->tasks.front());
      state->tasks.pop_front();
      state->running = true;
    }
    next();
    {
      const std::lock_guard lock(state->mutex);
      state->running = false;
    }
    state->idle.notify_all();
  }
}

} // namespace quillon
