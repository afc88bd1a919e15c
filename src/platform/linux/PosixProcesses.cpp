#include "platform/linux/PosixProcesses.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
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

class PosixChild final : public ChildProcess {
public:
  PosixChild(pid_t processIdentifier, FileDescriptor output)
      : processIdentifier_(processIdentifier), output_(std::move(output)) {}

  int pid() const override { return processIdentifier_; }

  std::optional<int> waitForExit() override {
    if (!status_) {
      drainOutput();
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
    if (!WIFEXITED(*status_)) {
      return std::nullopt;
    }
    return WEXITSTATUS(*status_);
  }

  void interrupt() override {
    if (!status_) {
      ::kill(processIdentifier_, SIGINT);
    }
  }

  std::string capturedOutput() const override { return captured_; }

private:
  void drainOutput() {
    if (output_.get() < 0) {
      return;
    }
    char buffer[4096];
    for (;;) {
      const ssize_t count = ::read(output_.get(), buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) {
        continue;
      }
      if (count <= 0) {
        break;
      }
      captured_.append(buffer, static_cast<std::size_t>(count));
    }
    output_.reset();
  }

  pid_t processIdentifier_;
  FileDescriptor output_;
  std::string captured_;
  std::optional<int> status_;
};

} // namespace

SpawnResult PosixProcesses::spawn(const SpawnRequest& request) {
  if (request.executable.empty() || request.executable.front() != '/') {
    return {nullptr, "not an absolute path: " + request.executable};
  }
  SpawnFileActions actions;
  if (!actions.valid()) {
    return {nullptr, "cannot prepare the child's file actions"};
  }
  FileDescriptor readEnd;
  FileDescriptor writeEnd;
  if (request.captureOutput) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
      return {nullptr, std::strerror(errno)};
    }
    readEnd.reset(pipeEnds[0]);
    writeEnd.reset(pipeEnds[1]);
    ::posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
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
  // Only the child writes; the parent's copy would keep the pipe open forever.
  writeEnd.reset();
  return {std::make_unique<PosixChild>(processIdentifier, std::move(readEnd)), {}};
}

} // namespace quillon
