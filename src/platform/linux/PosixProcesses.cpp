#include "platform/linux/PosixProcesses.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillon {

namespace {

class FileDescriptor {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return descriptor_; }
  int release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
  }
  void reset(int descriptor = -1) {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
    descriptor_ = descriptor;
  }

private:
  int descriptor_ = -1;
};

class SpawnFileActions {
public:
  SpawnFileActions() { valid_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() {
    if (valid_) {
      ::posix_spawn_file_actions_destroy(&actions_);
    }
  }
  bool valid() const { return valid_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

private:
  posix_spawn_file_actions_t actions_{};
  bool valid_ = false;
};

std::optional<int> exitStatusOf(int status) {
  if (!WIFEXITED(status)) {
    return std::nullopt;
  }
  return WEXITSTATUS(status);
}

// Reads both pipes together, so a child that fills one while the other is
// being read cannot block the two processes on each other.
void drain(FileDescriptor& output, std::string& outputText, FileDescriptor& error,
           std::string& errorText) {
  char buffer[4096];
  while (output.get() >= 0 || error.get() >= 0) {
    pollfd descriptors[2] = {{output.get(), POLLIN, 0}, {error.get(), POLLIN, 0}};
    if (::poll(descriptors, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (int index = 0; index < 2; ++index) {
      FileDescriptor& descriptor = index == 0 ? output : error;
      std::string& text = index == 0 ? outputText : errorText;
      if (descriptor.get() < 0 || descriptors[index].revents == 0) {
        continue;
      }
      const ssize_t count = ::read(descriptor.get(), buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) {
        continue;
      }
      if (count <= 0) {
        descriptor.reset();
        continue;
      }
      text.append(buffer, static_cast<std::size_t>(count));
    }
  }
  output.reset();
  error.reset();
}

// The end of a child that has a termination handler: a watcher thread
// collects it and every other question waits for or reads what it found.
struct Termination {
  std::mutex mutex;
  std::condition_variable ended;
  std::optional<int> status; // the raw wait status, once collected
  bool collected = false;
};

// Detached because the child may outlive both the handle and this process's
// interest in it; it holds only the shared record and the handler.
void watchForTermination(pid_t processIdentifier, std::shared_ptr<Termination> termination,
                         std::function<void(std::optional<int>)> terminationHandler) {
  std::thread([processIdentifier, termination, handler = std::move(terminationHandler)] {
    int status = 0;
    pid_t result = 0;
    do {
      result = ::waitpid(processIdentifier, &status, 0);
    } while (result < 0 && errno == EINTR);
    {
      const std::lock_guard lock(termination->mutex);
      if (result == processIdentifier) {
        termination->status = status;
      }
      termination->collected = true;
    }
    termination->ended.notify_all();
    handler(result == processIdentifier ? exitStatusOf(status) : std::nullopt);
  }).detach();
}

class PosixChild final : public ChildProcess {
public:
  PosixChild(pid_t processIdentifier, FileDescriptor output, FileDescriptor error,
             std::shared_ptr<Termination> termination)
      : processIdentifier_(processIdentifier), output_(std::move(output)), error_(std::move(error)),
        termination_(std::move(termination)) {}

  int pid() const override { return processIdentifier_; }

  std::optional<int> waitForExit() override {
    if (termination_) {
      drain(output_, captured_, error_, capturedError_);
      std::unique_lock lock(termination_->mutex);
      termination_->ended.wait(lock, [this] { return termination_->collected; });
      return termination_->status ? exitStatusOf(*termination_->status) : std::nullopt;
    }
    if (!status_) {
      drain(output_, captured_, error_, capturedError_);
      int status = 0;
      pid_t result = 0;
      do {
        result = ::waitpid(processIdentifier_, &status, 0);
      } while (result < 0 && errno == EINTR);
      if (result < 0) {
        return std::nullopt;
      }
      status_ = status;
    }
    return exitStatusOf(*status_);
  }

  bool isRunning() override {
    if (termination_) {
      const std::lock_guard lock(termination_->mutex);
      return !termination_->collected;
    }
    if (status_) {
      return false;
    }
    int status = 0;
    const pid_t result = ::waitpid(processIdentifier_, &status, WNOHANG);
    if (result == processIdentifier_) {
      status_ = status;
      return false;
    }
    return result == 0;
  }

  void interrupt() override {
    if (isRunning()) {
      ::kill(processIdentifier_, SIGINT);
    }
  }

  std::string capturedOutput() const override { return captured_; }
  std::string capturedError() const override { return capturedError_; }

private:
  pid_t processIdentifier_;
  FileDescriptor output_;
  FileDescriptor error_;
  std::string captured_;
  std::string capturedError_;
  std::optional<int> status_;
  std::shared_ptr<Termination> termination_;
};

std::optional<std::string> openPipe(bool wanted, int childDescriptor,
                                    posix_spawn_file_actions_t* actions, FileDescriptor& readEnd,
                                    FileDescriptor& writeEnd) {
  if (!wanted) {
    return std::nullopt;
  }
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    return std::string(std::strerror(errno));
  }
  readEnd.reset(pipeEnds[0]);
  writeEnd.reset(pipeEnds[1]);
  ::posix_spawn_file_actions_adddup2(actions, writeEnd.get(), childDescriptor);
  return std::nullopt;
}

} // namespace

SpawnResult PosixProcesses::spawn(const SpawnRequest& request) {
  if (request.executable.empty() || request.executable.front() != '/') {
    return {nullptr, "not an absolute path: " + request.executable};
  }
  SpawnFileActions actions;
  if (!actions.valid()) {
    return {nullptr, "cannot prepare the child's file actions"};
  }
  FileDescriptor outputRead;
  FileDescriptor outputWrite;
  FileDescriptor errorRead;
  FileDescriptor errorWrite;
  if (auto problem =
          openPipe(request.captureOutput, STDOUT_FILENO, actions.get(), outputRead, outputWrite)) {
    return {nullptr, std::move(*problem)};
  }
  if (auto problem =
          openPipe(request.captureError, STDERR_FILENO, actions.get(), errorRead, errorWrite)) {
    return {nullptr, std::move(*problem)};
  }

  std::vector<std::string> storage;
  storage.reserve(request.arguments.size() + 1);
  storage.push_back(request.executable);
  storage.insert(storage.end(), request.arguments.begin(), request.arguments.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& argument : storage) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  pid_t processIdentifier = 0;
  const int failure = ::posix_spawn(&processIdentifier, request.executable.c_str(), actions.get(),
                                    nullptr, argv.data(), environ);
  if (failure != 0) {
    return {nullptr, std::strerror(failure)};
  }
  // Only the child writes; the parent's copies would keep the pipes open
  // forever.
  outputWrite.reset();
  errorWrite.reset();
  std::shared_ptr<Termination> termination;
  if (request.terminationHandler) {
    termination = std::make_shared<Termination>();
    watchForTermination(processIdentifier, termination, request.terminationHandler);
  }
  return {std::make_unique<PosixChild>(processIdentifier, std::move(outputRead),
                                       std::move(errorRead), std::move(termination)),
          {}};
}

} // namespace quillon
