#pragma once

#include "platform/MainQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillon {

// Blocking work, one task at a time, on a thread of its own. Destroying the
// queue lets the running task finish and drops the ones not yet started.
class ThreadBackgroundQueue final : public BackgroundQueue {
public:
  ThreadBackgroundQueue();
  ThreadBackgroundQueue(const ThreadBackgroundQueue&) = delete;
  ThreadBackgroundQueue& operator=(const ThreadBackgroundQueue&) = delete;
  ~ThreadBackgroundQueue() override;

  void async(Task task) override;

private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::thread worker_;
};

} // namespace quillon
