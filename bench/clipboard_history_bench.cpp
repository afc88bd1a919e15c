// What a huge copy costs the clipboard history: the main thread's longest
// stall while a 10 MB text is recorded (target under 16 ms), and the peak
// memory of the process while 30 such texts are copied one after another
// and the history is written to the defaults on disk (target under 64 MB
// above the process's memory before the first copy). The history is written
// from a thread of its own, as in the running product.
#include "ResidentMemory.h"
#include "platform/sim/SimDesktop.h"
#include "util/ClipboardHistory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

namespace quillon {
namespace {

constexpr std::size_t copyBytes = 10 * 1024 * 1024;

// Blocking work on a thread of its own, one task at a time.
class ThreadQueue final : public BackgroundQueue {
public:
  ThreadQueue() : worker_([this] { work(); }) {}
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;
  ~ThreadQueue() override {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
  }
  void async(Task task) override {
    {
      const std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
  }

private:
  void work() {
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) {
        return;
      }
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::thread worker_;
};

PropertyData hugeText(int seed) {
  PropertyData text(copyBytes, 'a');
  for (std::size_t at = 0; at < text.size(); at += 4096) {
    text[at] = static_cast<std::uint8_t>('a' + (seed + at / 4096) % 26);
  }
  text[0] = static_cast<std::uint8_t>('A' + seed % 26);
  text[1] = static_cast<std::uint8_t>('A' + seed / 26 % 26);
  return text;
}

// Another application's copy. Its text lives in that application, not in the
// product: made in place, after the old contents are gone, so the simulated
// pasteboard holds one copy at a time and the figures are the history's own.
void copyHugeText(SimPasteboard& pasteboard, int seed) {
  pasteboard.clearContents();
  std::vector<PasteboardItem> items(1);
  items.front().representations.emplace(std::string(pasteboardtype::PlainText), hugeText(seed));
  pasteboard.writeItems(std::move(items));
}

// Lets the peak resident size start again from the current one.
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

struct World {
  std::unique_ptr<ClipboardHistory> makeHistory() {
    auto history = std::make_unique<ClipboardHistory>(ClipboardHistory::Dependencies{
        desktop.pasteboard(), DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"),
        desktop.runLoop(), disk, desktop.workspace(), pasteTargets, desktop.userInterface(),
        desktop.eventTaps(), desktop.localization(), desktop.log()});
    history->start();
    return history;
  }

  SimDesktop desktop;
  NoPasteTargets pasteTargets;
  ThreadQueue disk;
};

void recordingAHugeCopy(benchmark::State& state) {
  World world;
  auto history = world.makeHistory();
  double longest = 0;
  int seed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    copyHugeText(world.desktop.pasteboard(), seed++);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    world.desktop.advance(ClipboardHistory::pollInterval);
    const std::chrono::duration<double, std::milli> stall =
        std::chrono::steady_clock::now() - start;
    longest = std::max(longest, stall.count());
  }
  state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(recordingAHugeCopy)->Iterations(40)->Unit(benchmark::kMillisecond);

void thirtyHugeCopies(benchmark::State& state) {
  for (auto _ : state) {
    World world;
    auto history = world.makeHistory();
    const long before = bench::statusKilobytes("VmRSS:");
    resetPeak();
    for (int copy = 0; copy < 30; ++copy) {
      copyHugeText(world.desktop.pasteboard(), copy);
      world.desktop.advance(ClipboardHistory::pollInterval);
    }
    // Whatever is still waiting is written before the history goes.
    history.reset();
    const long peak = bench::statusKilobytes("VmHWM:");
    state.counters["peak_above_start_MB"] = static_cast<double>(peak - before) / 1024.0;
  }
}
BENCHMARK(thirtyHugeCopies)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillon
