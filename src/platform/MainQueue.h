// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"

#include <functional>
#include <memory>

namespace quillon {

using Task = std::function<void()>;

// A scheduled task that is cancelled when this handle goes away, so an owner
// that dies can never be called back by its own timers.
class [[nodiscard]] ScheduledTask {
public:
  class Token {
  public:
    virtual ~Token() = default;
    virtual void cancel() = 0;
  };

  ScheduledTask() = default;
  explicit ScheduledTask(std::unique_ptr<Token> token) : token_(std::move(token)) {}
  ScheduledTask(ScheduledTask&&) noexcept = default;
  ScheduledTask& operator=(ScheduledTask&& other) noexcept {
    if (this != &other) {
      cancel();
      token_ = std::move(other.token_);
    }
    return *this;
  }
  ScheduledTask(const ScheduledTask&) = delete;
  ScheduledTask& operator=(const ScheduledTask&) = delete;
  ~ScheduledTask() { cancel(); }

  void cancel() {
    if (token_) {
      token_->cancel();
      token_.reset();
    }
  }
  bool isScheduled() const { return token_ != nullptr; }

private:
  std::unique_ptr<Token> token_;
};

// The main thread's queue: the tap callback, menus, timers and every retyping
// run here, one at a time.
class MainQueue {
public:
  virtual ~MainQueue() = default;
  virtual void async(Task task) = 0;
  // Fire and forget: runs once after the delay whatever happens to the caller,
  // so the task must hold what it needs (weakly where the owner may go away).
  virtual void asyncAfter(Duration delay, Task task) = 0;
  virtual ScheduledTask scheduleAfter(Duration delay, Task task) = 0;
  virtual ScheduledTask scheduleRepeating(Duration interval, Task task) = 0;
};

// Work that may block; results come back through MainQueue::async.
class BackgroundQueue {
public:
  virtual ~BackgroundQueue() = default;
  virtual void async(Task task) = 0;
};

} // namespace quillon
