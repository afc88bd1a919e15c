#include "platform/linux/KeyRelayProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <glib-unix.h>
#include <glib.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillon {

namespace {

// The relay lets go of every key it holds before it exits; quitting waits
// that long for it at most, then ends it.
constexpr std::chrono::milliseconds kRelayExitWait{2000};
constexpr std::chrono::milliseconds kRelayExitPoll{10};
// Where the relay finds its end of the socket.
constexpr int kRelaySocketDescriptor = 3;

bool reapWithin(pid_t process, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t reaped = waitpid(process, &status, WNOHANG);
    if (reaped == process || (reaped < 0 && errno != EINTR)) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(kRelayExitPoll);
  }
}

} // namespace

struct KeyRelayProcess::Watch {
  static gboolean onReadable(gint, GIOCondition, gpointer data) {
    auto& self = *static_cast<KeyRelayProcess*>(data);
    const auto messages = receiveRelayMessages(self.socket_);
    if (messages && !messages->empty()) {
      self.receiver_(*messages);
    }
    if (messages) {
      return G_SOURCE_CONTINUE;
    }
    self.watch_ = 0;
    // The handler may drop this object; nothing of it is touched after.
    const EndHandler ended = self.ended_;
    ended();
    return G_SOURCE_REMOVE;
  }
};

std::unique_ptr<KeyRelayProcess> KeyRelayProcess::start(const std::filesystem::path& executable,
                                                        Receiver receiver, EndHandler ended,
                                                        std::string& error) {
  int sockets[2] = {-1, -1};
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0) {
    error = "no socket for the keyboard relay";
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // dup2 clears close-on-exec on the copy; everything else the product has
  // open (its X connection above all) stays out of the relay.
  posix_spawn_file_actions_adddup2(&actions, sockets[1], kRelaySocketDescriptor);
  posix_spawn_file_actions_addclosefrom_np(&actions, kRelaySocketDescriptor + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigfillset(&defaults);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const std::string path = executable.string();
  const std::string descriptor = std::to_string(kRelaySocketDescriptor);
  char* arguments[] = {const_cast<char*>(path.c_str()), const_cast<char*>(relayArgument),
                       const_cast<char*>(descriptor.c_str()), nullptr};
  pid_t process = -1;
  const int failed = posix_spawn(&process, path.c_str(), &actions, &attributes, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(sockets[1]);
  if (failed != 0) {
    close(sockets[0]);
    error = "cannot start the keyboard relay";
    return nullptr;
  }
  return std::unique_ptr<KeyRelayProcess>(
      new KeyRelayProcess(process, sockets[0], std::move(receiver), std::move(ended)));
}

KeyRelayProcess::KeyRelayProcess(pid_t process, int socket, Receiver receiver, EndHandler ended)
    : process_(process), socket_(socket), receiver_(std::move(receiver)), ended_(std::move(ended)) {
  watch_ = g_unix_fd_add(socket_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                         Watch::onReadable, this);
}

KeyRelayProcess::~KeyRelayProcess() {
  if (watch_ != 0) {
    g_source_remove(watch_);
  }
  close(socket_);
  if (!reapWithin(process_, kRelayExitWait)) {
    kill(process_, SIGKILL);
    reapWithin(process_, kRelayExitWait);
  }
}

bool KeyRelayProcess::send(const RelayMessage& message) const {
  return sendRelayMessage(socket_, message, true);
}

} // namespace quillon
