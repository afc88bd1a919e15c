#include "platform/linux/LinuxApplication.h"

#include <csignal>
#include <glib-unix.h>
#include <glib.h>
#include <thread>
#include <unistd.h>

namespace quillon {

namespace {

// Longer than the tap's watchdog limit, so a test sees the watchdog act.
constexpr std::chrono::seconds kTestStall{3};

gboolean quitLoop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_CONTINUE;
}

gboolean stallLoop(gpointer) {
  std::this_thread::sleep_for(kTestStall);
  return G_SOURCE_CONTINUE;
}

struct LaunchContext {
  ApplicationDelegate* delegate;
};

gboolean launch(gpointer data) {
  static_cast<LaunchContext*>(data)->delegate->applicationDidFinishLaunching();
  return G_SOURCE_REMOVE;
}

} // namespace

LinuxApplication::LinuxApplication(Log& log, Options options)
    : log_(log), options_(options), loop_(g_main_loop_new(nullptr, FALSE)) {}

LinuxApplication::~LinuxApplication() {
  g_main_loop_unref(loop_);
}

void LinuxApplication::run(ApplicationDelegate& delegate) {
  const guint interrupt = g_unix_signal_add(SIGINT, quitLoop, loop_);
  const guint termination = g_unix_signal_add(SIGTERM, quitLoop, loop_);
  const guint stall =
      options_.stallOnUserSignal ? g_unix_signal_add(SIGUSR1, stallLoop, nullptr) : 0;
  LaunchContext context{&delegate};
  g_idle_add(launch, &context);
  g_main_loop_run(loop_);
  g_source_remove(interrupt);
  g_source_remove(termination);
  if (stall != 0) {
    g_source_remove(stall);
  }
  log_.write("Quillon: quit");
}

void LinuxApplication::terminate() {
  g_main_loop_quit(loop_);
}

int LinuxApplication::processIdentifier() const {
  return static_cast<int>(getpid());
}

} // namespace quillon
