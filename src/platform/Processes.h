// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct SpawnRequest {
  // Always an absolute path: tools are never looked up on a search path.
  std::string executable;
  std::vector<std::string> arguments;
  bool captureOutput = false;
  bool captureError = false;
  // Runs once the child has ended, on a thread of the platform's choosing,
  // with what waitForExit() would answer.
  std::function<void(std::optional<int> exitStatus)> terminationHandler;
};

// A started child. Destroying the handle does not stop the child: a relaunch
// helper, for one, must outlive this process.
class ChildProcess {
public:
  virtual ~ChildProcess() = default;
  virtual int pid() const = 0;
  // Blocks until the child ends; its exit status, or nullopt if it was killed
  // by a signal or cannot be waited for.
  virtual std::optional<int> waitForExit() = 0;
  virtual bool isRunning() = 0;
  virtual void interrupt() = 0;
  // What the child wrote to standard output and standard error, once it has
  // been waited for.
  virtual std::string capturedOutput() const = 0;
  virtual std::string capturedError() const = 0;
};

struct SpawnResult {
  std::unique_ptr<ChildProcess> process;
  std::string error; // set when process is null
};

class Processes {
public:
  virtual ~Processes() = default;
  virtual SpawnResult spawn(const SpawnRequest& request) = 0;
};

} // namespace quillon
