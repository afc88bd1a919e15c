#include "platform/sim/SimProcesses.h"

#include <memory>

namespace quillon {

namespace {

using TerminationHandler = std::function<void(std::optional<int>)>;

class SimChild final : public ChildProcess {
public:
  SimChild(int processIdentifier, SimProcesses::ToolResult result, TerminationHandler handler,
           BackgroundQueue& background)
      : processIdentifier_(processIdentifier), result_(std::move(result)),
        handler_(std::move(handler)), background_(background) {
    if (!result_.onInterrupt) {
      finish();
    }
  }

  int pid() const override { return processIdentifier_; }
  // A child that waits for an interrupt cannot be waited for here: nothing
  // else on the simulated desktop could interrupt it meanwhile.
  std::optional<int> waitForExit() override {
    if (running_) {
      return std::nullopt;
    }
    return result_.exitStatus;
  }
  bool isRunning() override { return running_; }
  void interrupt() override {
    if (!running_) {
      return;
    }
    result_ = result_.onInterrupt();
    finish();
  }
  std::string capturedOutput() const override { return running_ ? "" : result_.output; }
  std::string capturedError() const override { return running_ ? "" : result_.errorOutput; }

private:
  void finish() {
    running_ = false;
    if (handler_) {
      background_.async(
          [handler = std::move(handler_), status = result_.exitStatus] { handler(status); });
    }
  }

  int processIdentifier_;
  SimProcesses::ToolResult result_;
  TerminationHandler handler_;
  BackgroundQueue& background_;
  bool running_ = true;
};

} // namespace

SpawnResult SimProcesses::spawn(const SpawnRequest& request) {
  const auto tool = tools_.find(request.executable);
  if (tool == tools_.end()) {
    return {nullptr, "The file \"" + request.executable + "\" doesn't exist."};
  }
  spawns_.push_back({request.executable, request.arguments});
  journal_.record("spawn " + request.executable);
  SimProcesses::ToolResult result;
  if (const auto scripted = scripted_.find(request.executable); scripted != scripted_.end()) {
    result = std::move(scripted->second);
    scripted_.erase(scripted);
  } else {
    result = tool->second(request.arguments);
  }
  return {std::make_unique<SimChild>(nextProcessIdentifier_++, std::move(result),
                                     request.terminationHandler, background_),
          {}};
}

void SimProcesses::registerTool(std::string absolutePath, Tool tool) {
  tools_.insert_or_assign(std::move(absolutePath), std::move(tool));
}

void SimProcesses::removeTool(std::string_view absolutePath) {
  if (const auto tool = tools_.find(absolutePath); tool != tools_.end()) {
    tools_.erase(tool);
  }
}

bool SimProcesses::hasTool(std::string_view absolutePath) const {
  return tools_.find(absolutePath) != tools_.end();
}

void SimProcesses::scriptNextResult(std::string absolutePath, ToolResult result) {
  scripted_.insert_or_assign(std::move(absolutePath), std::move(result));
}

std::optional<std::vector<std::string>>
SimProcesses::lastArguments(std::string_view absolutePath) const {
  for (auto spawn = spawns_.rbegin(); spawn != spawns_.rend(); ++spawn) {
    if (spawn->executable == absolutePath) {
      return spawn->arguments;
    }
  }
  return std::nullopt;
}

} // namespace quillon
