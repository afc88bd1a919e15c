// Capture on a live X display, against a running product: the time from the
// screenshot chord to the selection overlay on screen (median and worst of
// 20), the product's resident memory before, during and after a recording
// of 1280×800 at 30 fps, and the processor time that recording takes in the
// product and in its encoder.

#include "ResidentMemory.h"
#include "platform/EventFlags.h"
#include "platform/KeyCodes.h"
#include "platform/linux/X11Typist.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kOverlays = 20;
constexpr auto kRecording = 10s;

bool overlayShown(Display* display) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  bool shown = false;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return false;
  }
  for (unsigned index = 0; index < count; ++index) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[index], &attributes) != 0 &&
        attributes.override_redirect && attributes.map_state == IsViewable &&
        attributes.width == DisplayWidth(display, 0)) {
      shown = true;
    }
  }
  XFree(children);
  return shown;
}

bool waitFor(Display* display, bool shown, std::chrono::milliseconds limit = 5000ms) {
  const auto start = Clock::now();
  while (Clock::now() - start < limit) {
    if (overlayShown(display) == shown) {
      return true;
    }
    std::this_thread::sleep_for(200us);
  }
  return false;
}

// Seconds of processor time the process has used so far.
double cpuSeconds(const std::string& process) {
  std::ifstream stat("/proc/" + process + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) {
    return 0;
  }
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long user = 0;
  long system = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14) {
      user = std::stol(field);
    }
    if (index == 15) {
      system = std::stol(field);
      break;
    }
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The product's encoder: among its children (the keyboard relay is one too),
// the one running ffmpeg.
std::string encoderOf(const std::string& process) {
  std::ifstream children("/proc/" + process + "/task/" + process + "/children");
  for (std::string child; children >> child;) {
    std::ifstream name("/proc/" + child + "/comm");
    std::string command;
    name >> command;
    if (command == "ffmpeg") {
      return child;
    }
  }
  return {};
}

void dragAll(Display* display) {
  XTestFakeMotionEvent(display, -1, 0, 0, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  for (int step = 1; step <= 8; ++step) {
    XTestFakeMotionEvent(display, -1, 1280 * step / 8, 800 * step / 8, CurrentTime);
    XSync(display, False);
  }
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: x11_capture_measure DISPLAY PRODUCT-PID\n";
    return 2;
  }
  const std::string product = argv[2];
  Display* display = XOpenDisplay(argv[1]);
  auto typist = quillon::X11Typist::open(argv[1]);
  if (display == nullptr || !typist) {
    std::cerr << "cannot open " << argv[1] << "\n";
    return 1;
  }
  const auto grabbed = Clock::now();
  while (!typist->keyboardGrabbed() && Clock::now() - grabbed < 20s) {
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(1s);

  std::vector<double> samples;
  for (int index = 0; index < kOverlays; ++index) {
    const auto sent = Clock::now();
    typist->press(quillon::keycode::S, quillon::flag::Option | quillon::flag::Shift);
    if (!waitFor(display, true)) {
      std::cerr << "no overlay appeared\n";
      return 1;
    }
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    std::this_thread::sleep_for(100ms);
    typist->press(quillon::keycode::Escape, 0);
    waitFor(display, false);
    std::this_thread::sleep_for(200ms);
  }
  std::sort(samples.begin(), samples.end());
  std::cout << "chord to overlay: median " << samples[samples.size() / 2] << " ms, worst "
            << samples.back() << " ms\n";

  const auto before = bench::residentMemory(product);
  typist->press(quillon::keycode::V, quillon::flag::Control | quillon::flag::Command);
  if (!waitFor(display, true)) {
    std::cerr << "no overlay for the area recording\n";
    return 1;
  }
  std::this_thread::sleep_for(200ms);
  dragAll(display);
  std::string encoder;
  for (int tries = 0; tries < 100 && encoder.empty(); ++tries) {
    std::this_thread::sleep_for(50ms);
    encoder = encoderOf(product);
  }
  if (encoder.empty()) {
    std::cerr << "no recording started\n";
    return 1;
  }
  std::this_thread::sleep_for(2s);
  const double productStart = cpuSeconds(product);
  const double encoderStart = cpuSeconds(encoder);
  std::this_thread::sleep_for(kRecording);
  const double seconds = std::chrono::duration<double>(kRecording).count();
  const double productShare = (cpuSeconds(product) - productStart) / seconds * 100;
  const double encoderShare = (cpuSeconds(encoder) - encoderStart) / seconds * 100;
  const auto during = bench::residentMemory(product);
  // As the status item's stop does: ffmpeg finishes the file and exits.
  kill(std::stoi(encoder), SIGINT);
  for (int tries = 0; tries < 200 && !encoderOf(product).empty(); ++tries) {
    std::this_thread::sleep_for(50ms);
  }
  std::this_thread::sleep_for(2s);
  const auto after = bench::residentMemory(product);
  std::cout << "product resident: before " << before.total << " kB, recording " << during.total
            << " kB, after " << after.total << " kB (" << (after.total - before.total)
            << " kB change)\n";
  std::cout << "recording 1280x800 at 30 fps: product " << productShare << "% of a core, ffmpeg "
            << encoderShare << "%\n";
  XCloseDisplay(display);
  return 0;
}
