#include "platform/sim/SimProcesses.h"

namespace quillon {

namespace {

class FinishedChild final : public ChildProcess {
public:
  FinishedChild(int processIdentifier, SimProcesses::ToolResult result)
      : processIdentifier_(processIdentifier), result_(std::move(result)) {}
  int pid() const override { return processIdentifier_; }
  std::optional<int> waitForExit() override { return result_.exitStatus; }
  void interrupt() override {}
  std::string capturedOutput() const override { return result_.output; }

private:
  int processIdentifier_;
  SimProcesses::ToolResult result_;
};

} // namespace

SpawnResult SimProcesses::spawn(const SpawnRequest& request) {
  const auto tool = tools_.find(request.executable);
  if (tool == tools_.end()) {
    return {nullptr, "The file \"" + request.executable + "\" doesn't exist."};
  }
  spawns_.push_back({request.executable, request.arguments});
  journal_.record("spawn " + request.executable);
  return {
      std::make_unique<FinishedChild>(nextProcessIdentifier_++, tool->second(request.arguments)),
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

} // namespace quillon
