#pragma once

#include "platform/sim/SimPower.h"
#include "platform/sim/SimProcesses.h"
#include "platform/sim/SimServices.h"

#include <filesystem>
#include <string>

namespace quillon {

// The system tools the product starts, as fake processes that act as the
// real ones would: the screen capture tool writes its picture or, in video
// mode, records until interrupted; pmset reads and writes the power
// settings; osascript asks for the administrator's password before running
// its shell command; and this very executable answers the screen-recording
// probe.
class SimSystemTools {
public:
  static constexpr std::string_view ScreenCapture = "/usr/sbin/screencapture";
  static constexpr std::string_view Pmset = "/usr/bin/pmset";
  static constexpr std::string_view Osascript = "/usr/bin/osascript";
  // What osascript prints when the user cancels the password prompt.
  static constexpr std::string_view UserCanceledMessage =
      "0:79: execution error: User canceled. (-128)\n";

  enum class PasswordAnswer { Accept, Cancel };

  SimSystemTools(SimProcesses& processes, SimPower& power, const SimPermissions& permissions,
                 const std::filesystem::path& ownExecutable);

  void setPasswordAnswer(PasswordAnswer answer) { passwordAnswer_ = answer; }
  int passwordPromptCount() const { return passwordPromptCount_; }
  // pmset -g as it prints on this machine.
  std::string pmsetSettings() const;

private:
  SimProcesses::ToolResult screenCapture(const std::vector<std::string>& arguments);
  SimProcesses::ToolResult pmset(const std::vector<std::string>& arguments);
  SimProcesses::ToolResult osascript(const std::vector<std::string>& arguments);

  SimProcesses& processes_;
  SimPower& power_;
  const SimPermissions& permissions_;
  PasswordAnswer passwordAnswer_ = PasswordAnswer::Accept;
  int passwordPromptCount_ = 0;
};

} // namespace quillon
