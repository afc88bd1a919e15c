#include "platform/linux/TapWatchdog.h"

namespace quillon {

namespace {

std::int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

} // namespace

TapWatchdog::TapWatchdog(MainQueue& mainQueue, Duration limit, std::function<void()> onStall)
    : limit_(limit), onStall_(std::move(onStall)) {
  beat();
  heartbeat_ = mainQueue.scheduleRepeating(beatInterval, [this] { beat(); });
  thread_ = std::thread([this] { watch(); });
}

TapWatchdog::~TapWatchdog() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void TapWatchdog::beat() {
  lastBeat_ = steadyNanoseconds();
}

void TapWatchdog::arm() {
  beat();
  armed_ = true;
}

void TapWatchdog::disarm() {
  armed_ = false;
}

void TapWatchdog::watch() {
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, toNanoseconds(beatInterval / 2), [this] { return stopping_; })) {
    const auto silence = std::chrono::nanoseconds(steadyNanoseconds() - lastBeat_);
    if (armed_ && silence > toNanoseconds(limit_)) {
      armed_ = false;
      lock.unlock();
      onStall_();
      lock.lock();
    }
  }
}

} // namespace quillon
