// What window access costs on a real X server with openbox. Run by
// bench/x11_window_measure.sh, which starts a private Xvfb with the product:
//   x11_window_measure DISPLAY PRODUCT_PID
// 1. From a ⌃⌘←/⌃⌘→ chord sent by a typist to the window manager having
//    applied the new frame: median and 99th percentile over 100 snaps.
// 2. The window work of one position-manager poll (the frontmost
//    application's focused window, its screen and its frame), in this
//    process's own CPU time, with 50 windows open.
// 3. How often each of the product's threads wakes up while nothing moves.

#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11Typist.h"
#include "platform/linux/X11WindowAccess.h"
#include "windows/WindowSnapper.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSnaps = 100;
constexpr int kWindows = 50;
constexpr int kPolls = 2000;
constexpr long kFakeProcess = 4242;

class DiscardingLog final : public quillon::Log {
public:
  void write(std::string_view) override {}
};

struct Percentiles {
  double median;
  double p99;
};

Percentiles percentilesOf(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

Window openWindow(Display* display, int x, int y) {
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 300, 200, 0, 0, 0xffffff);
  XSelectInput(display, window, StructureNotifyMask);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&kFakeProcess), 1);
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

void activate(Display* display, Window window) {
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = 2;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  XSync(display, False);
  std::this_thread::sleep_for(300ms);
}

int rootX(Display* display, Window window) {
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  return x;
}

// Milliseconds from each chord to the window standing in the other half.
std::vector<double> timeSnaps(quillon::X11Typist& typist, Display* display, Window window) {
  std::vector<double> samples;
  for (int index = 0; index < kSnaps; ++index) {
    const bool left = index % 2 == 0;
    const auto sent = Clock::now();
    typist.press(left ? quillon::keycode::LeftArrow : quillon::keycode::RightArrow,
                 quillon::flag::Control | quillon::flag::Command);
    while (Clock::now() - sent < 2s) {
      XEvent event;
      if (XCheckTypedWindowEvent(display, window, ConfigureNotify, &event) == False) {
        std::this_thread::sleep_for(100us);
        continue;
      }
      const int x = rootX(display, window);
      if (left ? x < 640 : x >= 640) {
        break;
      }
    }
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    std::this_thread::sleep_for(20ms);
  }
  return samples;
}

double processSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void measurePoll(const std::string& displayName) {
  std::string error;
  auto connection = quillon::X11Connection::open(displayName, error);
  if (!connection) {
    std::cerr << "x11_window_measure: " << error << "\n";
    return;
  }
  DiscardingLog log;
  quillon::X11Screens screens(*connection);
  quillon::X11WindowAccess access(*connection, screens, log);
  quillon::LinuxWorkspace workspace(*connection);
  quillon::WindowSnapper snapper(access, workspace, screens, log);
  XSync(connection->display(), False);
  connection->dispatchPending();
  // Warm the caches the main loop keeps between the window manager's changes.
  for (int index = 0; index < 10; ++index) {
    if (const auto target = snapper.focusedWindowAndScreen()) {
      (void)snapper.windowFrame(target->window);
    }
  }
  const double cpuBefore = processSeconds();
  const auto wallBefore = Clock::now();
  int found = 0;
  for (int index = 0; index < kPolls; ++index) {
    if (const auto target = snapper.focusedWindowAndScreen()) {
      found += snapper.windowFrame(target->window).has_value() ? 1 : 0;
    }
  }
  const double cpu = (processSeconds() - cpuBefore) / kPolls * 1e6;
  const double wall =
      std::chrono::duration<double, std::micro>(Clock::now() - wallBefore).count() / kPolls;
  std::cout << "poll with " << kWindows << " windows open: " << cpu << " µs CPU, " << wall
            << " µs wall (" << found << "/" << kPolls << " found the frame)\n";
}

long threadSwitches(int process) {
  long total = 0;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/task", error)) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.find("ctxt_switches:") != std::string::npos) {
        total += std::stol(line.substr(line.find(':') + 1));
      }
    }
  }
  return total;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: x11_window_measure DISPLAY PRODUCT_PID\n";
    return 2;
  }
  const std::string displayName = argv[1];
  const int product = std::stoi(argv[2]);
  auto typist = quillon::X11Typist::open(displayName);
  Display* display = XOpenDisplay(displayName.c_str());
  if (!typist || display == nullptr) {
    std::cerr << "x11_window_measure: cannot open the display\n";
    return 1;
  }
  const auto deadline = Clock::now() + 10s;
  while (!typist->keyboardGrabbed() && Clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  std::vector<Window> windows;
  for (int index = 0; index < kWindows; ++index) {
    windows.push_back(openWindow(display, 20 + index * 7, 30 + index * 5));
  }
  const Window snapped = windows.back();
  activate(display, snapped);
  XSync(display, True);

  const Percentiles latency = percentilesOf(timeSnaps(*typist, display, snapped));
  std::cout << "chord to frame applied over " << kSnaps << " snaps: median " << latency.median
            << " ms, 99th percentile " << latency.p99 << " ms\n";
  measurePoll(displayName);

  constexpr auto kIdle = 10s;
  const long before = threadSwitches(product);
  std::this_thread::sleep_for(kIdle);
  const long after = threadSwitches(product);
  std::cout << "product idle with " << kWindows
            << " windows: " << static_cast<double>(after - before) / 10.0
            << " wake-ups per second\n";

  XCloseDisplay(display);
  kill(product, SIGTERM);
  waitpid(product, nullptr, 0);
  return 0;
}
