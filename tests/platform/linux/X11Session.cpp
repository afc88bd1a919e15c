#include "X11Session.h"

#include "platform/linux/X11Devices.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/sim/SimLog.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillon {

namespace {

using namespace std::chrono_literals;

constexpr const char* kServer = "/usr/bin/Xvfb";
constexpr const char* kWindowManager = "/usr/bin/openbox";
constexpr const char* kLayoutTool = "/usr/bin/setxkbmap";

// Forks and runs the program with extra environment variables, its output
// (and error) into `output` when given.
// Everything the child needs is built before the fork: the test process has
// threads, and only async-signal-safe calls are sound in the child.
int spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
          const std::filesystem::path& output = {}, int keepOpen = -1) {
  std::vector<std::string> variables = environment;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry(*variable);
    const std::string name = entry.substr(0, entry.find('='));
    const bool overridden =
        std::any_of(environment.begin(), environment.end(),
                    [&](const std::string& given) { return given.starts_with(name + "="); });
    if (!overridden) {
      variables.push_back(entry);
    }
  }
  std::vector<char*> envp;
  for (const std::string& variable : variables) {
    envp.push_back(const_cast<char*>(variable.c_str()));
  }
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child != 0) {
    return child;
  }
  if (!output.empty()) {
    const int file = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDOUT_FILENO);
    dup2(file, STDERR_FILENO);
  } else {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
  }
  for (int descriptor = 3; descriptor < 256; ++descriptor) {
    if (descriptor != keepOpen) {
      close(descriptor);
    }
  }
  execve(argv.front(), argv.data(), envp.data());
  _exit(127);
}

void stop(int& process) {
  if (process <= 0) {
    return;
  }
  kill(process, SIGTERM);
  waitpid(process, nullptr, 0);
  process = -1;
}

} // namespace

bool X11Session::waitUntil(const std::function<bool()>& condition,
                           std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::unique_ptr<X11Session> X11Session::start(std::string& whyNot) {
  for (const char* tool : {kServer, kWindowManager, kLayoutTool}) {
    if (access(tool, X_OK) != 0) {
      whyNot = std::string(tool) + " is not installed (bash scripts/setup.sh installs it)";
      return nullptr;
    }
  }
  auto session = std::unique_ptr<X11Session>(new X11Session());
  char folderTemplate[] = "/tmp/quillon-x11-XXXXXX";
  session->folder_ = mkdtemp(folderTemplate);
  int pipe[2];
  if (::pipe(pipe) != 0) {
    whyNot = "no pipe";
    return nullptr;
  }
  // The server picks a free display and writes its number to the pipe.
  session->server_ = spawn({kServer, "-displayfd", std::to_string(pipe[1]), "-screen", "0",
                            "1280x800x24", "-noreset", "-nolisten", "tcp"},
                           {}, {}, pipe[1]);
  close(pipe[1]);
  std::string number;
  char byte = 0;
  while (::read(pipe[0], &byte, 1) == 1 && byte != '\n') {
    number += byte;
  }
  close(pipe[0]);
  if (number.empty()) {
    whyNot = "Xvfb did not start";
    return nullptr;
  }
  session->display_ = ":" + number;
  session->windowManager_ = spawn({kWindowManager}, {"DISPLAY=" + session->display_});
  Display* display = XOpenDisplay(session->display_.c_str());
  if (display != nullptr) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    waitUntil(
        [&] {
          int count = 0;
          Atom* properties = XListProperties(display, DefaultRootWindow(display), &count);
          bool found = false;
          for (int index = 0; index < count; ++index) {
            found = found || properties[index] == check;
          }
          XFree(properties);
          return found;
        },
        20s);
    XCloseDisplay(display);
  }
  session->setLayouts("us,ru");
  return session;
}

X11Session::~X11Session() {
  stop(product_);
  stop(windowManager_);
  stop(server_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

int X11Session::runTool(const std::vector<std::string>& arguments) const {
  const int child = spawn(arguments, {"DISPLAY=" + display_});
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void X11Session::setLayouts(const std::string& layouts) {
  runTool({kLayoutTool, "-layout", layouts});
}

unsigned X11Session::currentGroup() const {
  Display* display = XOpenDisplay(display_.c_str());
  XkbStateRec state{};
  XkbGetState(display, XkbUseCoreKbd, &state);
  XCloseDisplay(display);
  return state.group;
}

bool X11Session::activateWindow(unsigned long window) const {
  Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) {
    return false;
  }
  const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  constexpr long kSourcePager = 2;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = active;
  message.xclient.format = 32;
  message.xclient.data.l[0] = kSourcePager;
  message.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  XFlush(display);
  const auto activeWindow = [&]() -> unsigned long {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    unsigned long named = None;
    if (XGetWindowProperty(display, DefaultRootWindow(display), active, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr && count == 1 && format == 32) {
      named = *reinterpret_cast<unsigned long*>(data);
    }
    XFree(data);
    return named;
  };
  const bool named = waitUntil([&] { return activeWindow() == window; });
  XCloseDisplay(display);
  return named;
}

std::optional<std::string> X11Session::clipboardText() const {
  return clipboardContents("UTF8_STRING");
}

std::optional<std::string> X11Session::clipboardContents(const char* target) const {
  // Large enough for a screenshot's PNG; the server sends it in one piece.
  constexpr long mostLongWords = 1 << 22;
  Display* display = XOpenDisplay(display_.c_str());
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  const Atom property = XInternAtom(display, "QUILLON_TEST_CLIPBOARD", False);
  XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False),
                    XInternAtom(display, target, False), property, window, CurrentTime);
  XFlush(display);
  std::optional<std::string> contents;
  XEvent event;
  const bool answered = waitUntil(
      [&] { return XCheckTypedWindowEvent(display, window, SelectionNotify, &event) == True; }, 2s);
  if (answered && event.xselection.property != None) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, mostLongWords, True, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
      contents = std::string(reinterpret_cast<const char*>(data), count);
      XFree(data);
    }
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return contents;
}

void X11Session::startProduct(const std::vector<std::pair<std::string, PropertyValue>>& settings,
                              const std::vector<std::string>& environment) {
  const auto configuration = folder_ / "config";
  std::filesystem::remove_all(configuration);
  std::filesystem::create_directories(configuration);
  SimLog log;
  PlistDefaults stored(configuration / "quillon", log);
  for (const auto& [key, value] : settings) {
    stored.set("com.quillon.Quillon", key, value);
  }
  auto variables = productEnvironment();
  variables.insert(variables.end(), environment.begin(), environment.end());
  product_ = spawn({QUILLON_EXECUTABLE}, variables, folder_ / "product.log");
}

void X11Session::restartProduct() {
  product_ = spawn({QUILLON_EXECUTABLE}, productEnvironment(), folder_ / "product.log");
}

// State and the one-instance lock stay inside the session, whatever the
// test runner's own environment says.
std::vector<std::string> X11Session::productEnvironment() const {
  const auto runtime = folder_ / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  return {"DISPLAY=" + display_,
          "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
          "XDG_STATE_HOME=" + (folder_ / "state").string(),
          "XDG_RUNTIME_DIR=" + runtime.string(),
          "HOME=" + folder_.string(),
          "QUILLON_TEST_HOOKS=stall"};
}

std::pair<std::optional<int>, std::string>
X11Session::runSecondProduct(std::chrono::milliseconds limit) {
  const auto output = folder_ / "second.log";
  int second = spawn({QUILLON_EXECUTABLE}, productEnvironment(), output);
  std::optional<int> exitStatus;
  waitUntil(
      [&] {
        int status = 0;
        if (waitpid(second, &status, WNOHANG) != second) {
          return false;
        }
        second = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
      },
      limit);
  stop(second);
  std::ifstream file(output);
  std::stringstream contents;
  contents << file.rdbuf();
  return {exitStatus, contents.str()};
}

void X11Session::signalProduct(int signal) {
  kill(product_, signal);
}

std::optional<int> X11Session::relayIdentifier() const {
  const std::string pid = std::to_string(product_);
  std::ifstream children("/proc/" + pid + "/task/" + pid + "/children");
  int child = 0;
  if (children >> child) {
    return child;
  }
  return std::nullopt;
}

bool X11Session::productStopped() const {
  std::ifstream stat("/proc/" + std::to_string(product_) + "/stat");
  const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto end = line.rfind(')');
  return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'T';
}

std::vector<std::uint32_t> X11Session::coreKeysDown() const {
  Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) {
    return {};
  }
  const auto down = keysDownOn(display, coreXTestKeyboard(display));
  XCloseDisplay(display);
  return down;
}

std::optional<int> X11Session::waitForProductExit(std::chrono::milliseconds limit) {
  std::optional<int> exitStatus;
  waitUntil(
      [&] {
        int status = 0;
        if (waitpid(product_, &status, WNOHANG) != product_) {
          return false;
        }
        product_ = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
      },
      limit);
  return exitStatus;
}

bool X11Session::productRunning() {
  return product_ > 0 && waitpid(product_, nullptr, WNOHANG) == 0;
}

std::string X11Session::productMaps() const {
  std::ifstream maps("/proc/" + std::to_string(product_) + "/maps");
  return std::string(std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>());
}

std::string X11Session::productLog() const {
  std::ifstream file(folder_ / "product.log");
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

void X11Session::stopServer() {
  stop(windowManager_);
  stop(server_);
}

} // namespace quillon
