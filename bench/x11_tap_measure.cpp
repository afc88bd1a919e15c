// The latency the event tap adds to a key press on a real X server, and the
// product's resident memory. Run by bench/x11_tap_measure.sh, which starts
// a private Xvfb with the product on it:
//   x11_tap_measure DISPLAY PRODUCT_PID
// Each key goes typist → server → the product's grab → XTest → server → a
// text window; the same keys are timed again once the product has stopped,
// and the difference is what the tap adds. Memory is read after start-up
// and after each of two soaks of 100,000 keys, so growth would show, for
// the product and for its keyboard relay. Then: how soon keys reach the
// window again once the product is stopped (SIGSTOP), and how often each
// thread of both processes wakes up while nobody types.

#include "ResidentMemory.h"
#include "platform/KeyCodes.h"
#include "platform/linux/X11TextWindow.h"
#include "platform/linux/X11Typist.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kTimedKeys = 1000;
constexpr int kSoakKeys = 100000;

struct Figures {
  double median;
  double p99;
};

Figures figuresOf(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

// Milliseconds from each press sent to its arrival in the window.
std::vector<double> timeKeys(quillon::X11Typist& typist, quillon::X11TextWindow& window,
                             int count) {
  std::vector<double> samples;
  for (int index = 0; index < count; ++index) {
    const std::size_t before = window.keyPresses();
    const auto sent = Clock::now();
    typist.keyDown(quillon::keycode::Digit1);
    while (window.keyPresses() == before && Clock::now() - sent < 1s) {
      std::this_thread::yield();
    }
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    typist.keyUp(quillon::keycode::Digit1);
  }
  return samples;
}

// Context switches of every thread of a process, by thread id and name.
std::vector<std::tuple<std::string, std::string, long>> threadSwitches(int process) {
  std::vector<std::tuple<std::string, std::string, long>> threads;
  const std::filesystem::path tasks = "/proc/" + std::to_string(process) + "/task";
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream status(task.path() / "status");
    std::string line;
    std::string name;
    long switches = 0;
    while (std::getline(status, line)) {
      if (line.rfind("Name:", 0) == 0) {
        name = line.substr(6);
      } else if (line.find("ctxt_switches:") != std::string::npos) {
        switches += std::stol(line.substr(line.find(':') + 1));
      }
    }
    threads.emplace_back(task.path().filename().string(), name, switches);
  }
  return threads;
}

void reportIdleWakeups(const std::string& label, int process) {
  constexpr auto kIdle = 10s;
  const auto before = threadSwitches(process);
  std::this_thread::sleep_for(kIdle);
  const auto after = threadSwitches(process);
  for (const auto& [id, name, switches] : after) {
    const auto found = std::find_if(before.begin(), before.end(), [&id = id](const auto& entry) {
      return std::get<0>(entry) == id;
    });
    const long previous = found == before.end() ? 0 : std::get<2>(*found);
    std::cout << label << " thread " << name << " (" << id
              << "): " << static_cast<double>(switches - previous) / 10.0
              << " wake-ups per second idle\n";
  }
}

std::optional<int> relayOf(int product) {
  const std::string pid = std::to_string(product);
  std::ifstream children("/proc/" + pid + "/task/" + pid + "/children");
  int child = 0;
  if (children >> child) {
    return child;
  }
  return std::nullopt;
}

// From the product stopped to a key reaching the window again.
double millisecondsToKeysAfterStop(quillon::X11Typist& typist, quillon::X11TextWindow& window,
                                   int product) {
  kill(product, SIGSTOP);
  const std::size_t before = window.keyPresses();
  const auto stopped = Clock::now();
  typist.keyDown(quillon::keycode::Digit1);
  while (window.keyPresses() == before && Clock::now() - stopped < 10s) {
    std::this_thread::sleep_for(1ms);
  }
  const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - stopped).count();
  typist.keyUp(quillon::keycode::Digit1);
  kill(product, SIGCONT);
  std::this_thread::sleep_for(1s);
  return elapsed;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: x11_tap_measure DISPLAY PRODUCT_PID\n";
    return 2;
  }
  const std::string display = argv[1];
  const int product = std::stoi(argv[2]);
  auto typist = quillon::X11Typist::open(display);
  auto window = quillon::X11TextWindow::open(display);
  if (!typist || !window) {
    std::cerr << "x11_tap_measure: cannot open the display\n";
    return 1;
  }
  window->takeFocus();
  const auto deadline = Clock::now() + 10s;
  while (!typist->keyboardGrabbed() && Clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(1s);
  const bench::Resident startup = bench::residentMemory(std::to_string(product));

  const Figures tapped = figuresOf(timeKeys(*typist, *window, kTimedKeys));
  const auto soak = [&] {
    for (int index = 0; index < kSoakKeys; ++index) {
      typist->keyDown(quillon::keycode::Digit1);
      typist->keyUp(quillon::keycode::Digit1);
    }
    std::this_thread::sleep_for(2s);
    return bench::residentMemory(std::to_string(product));
  };
  const bench::Resident soaked = soak();
  const bench::Resident twiceSoaked = soak();
  const auto relay = relayOf(product);
  const bench::Resident relayMemory =
      relay ? bench::residentMemory(std::to_string(*relay)) : bench::Resident{};
  const double stopToKeys = millisecondsToKeysAfterStop(*typist, *window, product);
  reportIdleWakeups("product", product);
  if (relay) {
    reportIdleWakeups("relay", *relay);
  }

  kill(product, SIGTERM);
  waitpid(product, nullptr, 0);
  while (typist->keyboardGrabbed()) {
    std::this_thread::sleep_for(50ms);
  }
  const Figures direct = figuresOf(timeKeys(*typist, *window, kTimedKeys));

  std::cout << "key press to window, through the tap: median " << tapped.median << " ms, p99 "
            << tapped.p99 << " ms\n"
            << "key press to window, no tap:        median " << direct.median << " ms, p99 "
            << direct.p99
            << " ms\n"
            // Tails of two separate runs do not subtract; the medians do. No
            // key can gain more than its whole trip through the tap.
            << "added by the tap:                    median " << tapped.median - direct.median
            << " ms, p99 at most " << tapped.p99 << " ms\n"
            << "resident memory after start-up: " << bench::describe(startup) << "\n"
            << "resident memory after " << kSoakKeys << " keys: " << bench::describe(soaked) << "\n"
            << "resident memory after " << 2 * kSoakKeys
            << " keys: " << bench::describe(twiceSoaked) << "\n"
            << "keyboard relay's resident memory after them: " << bench::describe(relayMemory)
            << "\n"
            << "product stopped (SIGSTOP) to a key in the window: " << stopToKeys << " ms\n";
  return 0;
}
