#pragma once

#include "platform/MainQueue.h"
#include "platform/Processes.h"
#include "platform/sim/SimLog.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Child processes as fake tools registered by absolute path. Each records
// the argument lists it was started with and answers with a scripted status
// and output; a tool may instead keep running until it is interrupted.
class SimProcesses final : public Processes {
public:
  struct ToolResult {
    int exitStatus = 0;
    std::string output;
    std::string errorOutput;
    // Set for a tool that runs until interrupted: what it does then, its
    // status and output are those of the result this answers.
    std::function<ToolResult()> onInterrupt;
  };
  using Tool = std::function<ToolResult(const std::vector<std::string>& arguments)>;

  struct Spawn {
    std::string executable;
    std::vector<std::string> arguments;
  };

  // Termination handlers are delivered through the background queue, as a
  // real child's end is noticed on a thread of its own.
  SimProcesses(SimJournal& journal, BackgroundQueue& background)
      : journal_(journal), background_(background) {}

  SpawnResult spawn(const SpawnRequest& request) override;

  void registerTool(std::string absolutePath, Tool tool);
  void removeTool(std::string_view absolutePath);
  bool hasTool(std::string_view absolutePath) const;
  // The next run of that tool answers this instead of acting.
  void scriptNextResult(std::string absolutePath, ToolResult result);
  const std::vector<Spawn>& spawns() const { return spawns_; }
  // The arguments of the most recent run of that tool.
  std::optional<std::vector<std::string>> lastArguments(std::string_view absolutePath) const;

private:
  SimJournal& journal_;
  BackgroundQueue& background_;
  std::map<std::string, Tool, std::less<>> tools_;
  std::map<std::string, ToolResult, std::less<>> scripted_;
  std::vector<Spawn> spawns_;
  int nextProcessIdentifier_ = 5000;
};

} // namespace quillon
