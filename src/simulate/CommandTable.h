#pragma once

#include "simulate/ScriptContext.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace quillon {

// One script command: how it reads its arguments and what it does.
struct ScriptCommand {
  enum class Arguments { None, Some };
  // Setup commands prepare the desktop the application starts on; every
  // other command launches the application first.
  enum class Launch { First, NotNeeded };
  using Handler = std::function<void(ScriptContext& context, std::string_view arguments)>;

  Arguments arguments = Arguments::Some;
  Launch launch = Launch::First;
  Handler run;
};

// The script's command names. Each subsystem adds its own commands from a
// file of its own, so subsystems never edit the same lines.
class CommandTable {
public:
  // Adds a command taking arguments that launches the application first.
  void add(std::string name, ScriptCommand::Handler handler);
  void add(std::string name, ScriptCommand command);
  const ScriptCommand* find(std::string_view name) const;

private:
  std::map<std::string, ScriptCommand, std::less<>> commands_;
};

} // namespace quillon
