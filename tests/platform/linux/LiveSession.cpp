#include "LiveSession.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillon {

namespace {

constexpr const char* xServerPath = "/usr/bin/Xvfb";
constexpr const char* busDaemonPath = "/usr/bin/dbus-daemon";
constexpr const char* sessionBusConfiguration = "/usr/share/dbus-1/session.conf";
// The descriptor on which each child says it is ready.
constexpr int readyDescriptor = 3;

struct Started {
  pid_t process = -1;
  std::string firstLine;
};

// Starts a program that writes one line to descriptor 3 once it is ready,
// and waits for that line.
std::optional<Started> startAndAwaitLine(const std::vector<std::string>& argv) {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  std::vector<char*> arguments;
  for (const std::string& argument : argv) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);
  const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t process = ::fork();
  if (process == 0) {
    // Only async-signal-safe calls here. The server goes with the test
    // process however that ends, even by a crash.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::dup2(ready[1], readyDescriptor);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::execv(arguments[0], arguments.data());
    ::_exit(127);
  }
  ::close(devNull);
  const bool failed = process < 0;
  ::close(ready[1]);
  if (failed) {
    ::close(ready[0]);
    return std::nullopt;
  }
  Started started{process, {}};
  char character = 0;
  while (::read(ready[0], &character, 1) == 1 && character != '\n') {
    started.firstLine += character;
  }
  ::close(ready[0]);
  if (started.firstLine.empty()) {
    ::kill(process, SIGTERM);
    ::waitpid(process, nullptr, 0);
    return std::nullopt;
  }
  return started;
}

// The system's session bus, less the file indexer: it runs at idle
// priority, so on a busy machine it can take longer to answer its first
// call than GNOME Files waits, and GNOME Files then never finishes loading
// a folder. Its start fails at once here instead, as on a desktop without
// it. Services in a directory named before the system's win.
std::string sessionBusArgument(const std::filesystem::path& files) {
  if (!std::filesystem::exists(sessionBusConfiguration)) {
    return "--session";
  }
  const auto services = files / "services";
  std::filesystem::create_directories(services);
  std::ofstream(services / "org.freedesktop.Tracker3.Miner.Files.service")
      << "[D-BUS Service]\nName=org.freedesktop.Tracker3.Miner.Files\nExec=/bin/false\n";
  const auto configuration = files / "session.conf";
  std::ofstream(configuration) << "<busconfig>\n  <servicedir>" << services.string()
                               << "</servicedir>\n  <include>" << sessionBusConfiguration
                               << "</include>\n</busconfig>\n";
  return "--config-file=" + configuration.string();
}

void stop(pid_t process) {
  if (process > 0) {
    ::kill(process, SIGTERM);
    ::waitpid(process, nullptr, 0);
  }
}

} // namespace

LiveSession* LiveSession::shared(std::string& whyNot) {
  struct Outcome {
    std::unique_ptr<LiveSession> session;
    std::string whyNot;
  };
  // One per test process: GTK opens its display once and for good.
  static const Outcome outcome = [] {
    Outcome started{std::unique_ptr<LiveSession>(new LiveSession), {}};
    if (auto problem = started.session->start()) {
      started.whyNot = *problem;
      started.session.reset();
    }
    return started;
  }();
  whyNot = outcome.whyNot;
  return outcome.session.get();
}

std::optional<std::string> LiveSession::start() {
  if (!std::filesystem::exists(xServerPath)) {
    return "Xvfb is not installed (Debian package xvfb): live desktop tests skipped";
  }
  if (!std::filesystem::exists(busDaemonPath)) {
    return "dbus-daemon is not installed (Debian package dbus): live desktop tests skipped";
  }
  const auto server =
      startAndAwaitLine({xServerPath, "-displayfd", std::to_string(readyDescriptor), "-screen", "0",
                         "1280x800x24", "-noreset", "-nolisten", "tcp"});
  if (!server) {
    return "Xvfb did not start: live desktop tests skipped";
  }
  xServer_ = server->process;
  displayName_ = ":" + server->firstLine;
  const auto bus =
      startAndAwaitLine({busDaemonPath, sessionBusArgument(busFiles_.path()), "--nofork",
                         "--nopidfile", "--print-address=" + std::to_string(readyDescriptor)});
  if (!bus) {
    return "dbus-daemon did not start: live desktop tests skipped";
  }
  bus_ = bus->process;
  busAddress_ = bus->firstLine;
  ::setenv("DISPLAY", displayName_.c_str(), 1);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.c_str(), 1);
  ::setenv("GDK_BACKEND", "x11", 1);
  // Keeps GTK from looking for an accessibility bus and settings daemons.
  ::setenv("NO_AT_BRIDGE", "1", 1);
  ::setenv("GSETTINGS_BACKEND", "memory", 1);
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    return "GTK could not open the private display " + displayName_;
  }
  return std::nullopt;
}

LiveSession::~LiveSession() {
  stop(bus_);
  stop(xServer_);
}

bool LiveSession::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const gint64 deadline =
      g_get_monotonic_time() + std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
  while (!done()) {
    if (g_get_monotonic_time() > deadline) {
      return false;
    }
    // Wakes at least every few milliseconds to look at the deadline.
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

void LiveSession::settle(std::chrono::milliseconds period) {
  runUntil([] { return false; }, period);
}

} // namespace quillon
