#pragma once

#include "platform/Processes.h"
#include "platform/sim/SimLog.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillon {

// Child processes as fake tools registered by absolute path. Each records
// the argument lists it was started with and answers with a scripted status
// and output.
class SimProcesses final : public Processes {
public:
  struct ToolResult {
    int exitStatus = 0;
    std::string output;
  };
  using Tool = std::function<ToolResult(const std::vector<std::string>& arguments)>;

  struct Spawn {
    std::string executable;
    std::vector<std::string> arguments;
  };

  explicit SimProcesses(SimJournal& journal) : journal_(journal) {}

  SpawnResult spawn(const SpawnRequest& request) override;

  void registerTool(std::string absolutePath, Tool tool);
  void removeTool(std::string_view absolutePath);
  const std::vector<Spawn>& spawns() const { return spawns_; }

private:
  SimJournal& journal_;
  std::map<std::string, Tool, std::less<>> tools_;
  std::vector<Spawn> spawns_;
  int nextProcessIdentifier_ = 5000;
};

} // namespace quillon
