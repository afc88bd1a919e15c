#include "platform/linux/FfmpegSession.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace quillon {

namespace {

// ffmpeg reports progress every half second; a stop still unanswered after
// these is forced, so a hung encoder never keeps the recording look on.
constexpr std::chrono::seconds interruptAfter{5};
constexpr std::chrono::seconds killAfter{10};
// Log lines carry at most this much of ffmpeg's own complaint.
constexpr std::size_t longestReason = 200;

void closeIfOpen(int& descriptor) {
  if (descriptor >= 0) {
    ::close(descriptor);
    descriptor = -1;
  }
}

struct Pipes {
  int ends[6] = {-1, -1, -1, -1, -1, -1};
  ~Pipes() {
    for (int& end : ends) {
      closeIfOpen(end);
    }
  }
  int take(int index) { return std::exchange(ends[index], -1); }
};

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.size() > longestReason) {
    text.resize(longestReason);
  }
  return text;
}

} // namespace

std::unique_ptr<FfmpegSession> FfmpegSession::start(const std::vector<std::string>& arguments,
                                                    EndHandler ended, std::string& error) {
  // Standard input is a socket so that a stop written after ffmpeg has
  // died fails quietly instead of raising SIGPIPE in this process.
  Pipes pipes;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipes.ends) != 0 ||
      ::pipe2(pipes.ends + 2, O_CLOEXEC) != 0 || ::pipe2(pipes.ends + 4, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) {
    error = "cannot prepare the child's file actions";
    return nullptr;
  }
  ::posix_spawn_file_actions_adddup2(&actions, pipes.ends[1], STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, pipes.ends[3], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, pipes.ends[5], STDERR_FILENO);

  std::vector<std::string> storage{Executable, "-hide_banner", "-nostats", "-loglevel",
                                   "error",    "-progress",    "pipe:1"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int failure = ::posix_spawn(&pid, Executable, &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (failure != 0) {
    error = std::string(Executable) + ": " + std::strerror(failure);
    return nullptr;
  }
  auto session = std::unique_ptr<FfmpegSession>(
      new FfmpegSession(pid, pipes.take(0), pipes.take(2), pipes.take(4), std::move(ended)));
  session->watcher_ = std::thread([raw = session.get()] { raw->watch(); });
  return session;
}

FfmpegSession::FfmpegSession(int pid, int input, int progress, int errors, EndHandler ended)
    : pid_(pid), input_(input), progress_(progress), errors_(errors),
      endedHandler_(std::move(ended)) {}

FfmpegSession::~FfmpegSession() {
  stop();
  if (watcher_.joinable()) {
    watcher_.join();
  }
  closeIfOpen(input_);
  closeIfOpen(progress_);
  closeIfOpen(errors_);
}

void FfmpegSession::stop() {
  const std::lock_guard lock(mutex_);
  stopRequested_ = true;
  if (reporting_) {
    sendStop();
  }
}

bool FfmpegSession::stopAndWait(std::chrono::milliseconds limit) {
  stop();
  std::unique_lock lock(mutex_);
  return endedSignal_.wait_for(lock, limit, [this] { return ended_.load(); });
}

void FfmpegSession::sendStop() {
  if (stopSent_) {
    return;
  }
  stopSent_ = true;
  ::send(input_, "q", 1, MSG_NOSIGNAL);
}

void FfmpegSession::handleProgress(std::string_view text) {
  progressLine_.append(text);
  for (auto newline = progressLine_.find('\n'); newline != std::string::npos;
       newline = progressLine_.find('\n')) {
    const std::string line = progressLine_.substr(0, newline);
    progressLine_.erase(0, newline + 1);
    if (!line.starts_with("progress=")) {
      continue;
    }
    const std::lock_guard lock(mutex_);
    reporting_ = true;
    if (stopRequested_) {
      sendStop();
    }
  }
}

void FfmpegSession::watch() {
  pollfd watched[2] = {{progress_, POLLIN, 0}, {errors_, POLLIN, 0}};
  int open = 2;
  std::optional<std::chrono::steady_clock::time_point> stopAskedAt;
  bool interrupted = false;
  while (open > 0) {
    constexpr int tick = 250;
    if (::poll(watched, 2, tick) < 0 && errno != EINTR) {
      break;
    }
    const bool asked = [this] {
      const std::lock_guard lock(mutex_);
      return stopRequested_;
    }();
    if (asked && !stopAskedAt) {
      stopAskedAt = std::chrono::steady_clock::now();
    }
    const auto waited = stopAskedAt ? std::chrono::steady_clock::now() - *stopAskedAt
                                    : std::chrono::steady_clock::duration::zero();
    if (waited >= interruptAfter && !interrupted) {
      interrupted = true;
      ::kill(pid_, SIGINT);
    }
    if (waited >= killAfter) {
      ::kill(pid_, SIGKILL);
    }
    for (pollfd& entry : watched) {
      if (entry.fd < 0 || (entry.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t count = ::read(entry.fd, buffer, sizeof buffer);
      if (count <= 0) {
        entry.fd = -1;
        --open;
        continue;
      }
      const std::string_view text(buffer, static_cast<std::size_t>(count));
      if (entry.fd == progress_) {
        handleProgress(text);
        continue;
      }
      errorLine_.append(text);
      for (auto newline = errorLine_.find('\n'); newline != std::string::npos;
           newline = errorLine_.find('\n')) {
        if (newline > 0) {
          lastErrorLine_ = trimmed(errorLine_.substr(0, newline));
        }
        errorLine_.erase(0, newline + 1);
      }
    }
  }
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  std::optional<std::string> failure;
  const bool asked = [this] {
    const std::lock_guard lock(mutex_);
    return stopRequested_;
  }();
  if (WIFSIGNALED(status)) {
    failure = "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && !(asked && lastErrorLine_.empty())) {
    failure = lastErrorLine_.empty()
                  ? "ffmpeg exited with status " + std::to_string(WEXITSTATUS(status))
                  : lastErrorLine_;
  }
  {
    const std::lock_guard lock(mutex_);
    ended_ = true;
  }
  endedSignal_.notify_all();
  if (endedHandler_) {
    endedHandler_(std::move(failure));
  }
}

} // namespace quillon
