#include "platform/linux/ThreadBackgroundQueue.h"

namespace quillon {

ThreadBackgroundQueue::ThreadBackgroundQueue() : worker_([this] { work(); }) {}

ThreadBackgroundQueue::~ThreadBackgroundQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

void ThreadBackgroundQueue::async(Task task) {
  {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void ThreadBackgroundQueue::work() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (stopping_) {
      return;
    }
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

} // namespace quillon
