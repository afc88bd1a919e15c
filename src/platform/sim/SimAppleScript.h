#pragma once

#include "platform/AppleScript.h"
#include "platform/sim/SimLog.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// AppleScript as far as the product uses it: "do shell script "…" with
// administrator privileges with prompt "…"", whose password dialog is
// answered by the script, and whose shell command may only replace one
// folder by a copy of another ("rm -rf 'D' && cp -R 'S' 'D'"), read with the
// shell's own quoting rules. It touches nothing outside its root folders.
class SimAppleScript final : public AppleScript {
public:
  enum class AdminAnswer { Allow, Deny };

  SimAppleScript(SimJournal& journal, std::vector<std::filesystem::path> roots)
      : journal_(journal), roots_(std::move(roots)) {}

  AppleScriptOutcome execute(std::string_view source) override;

  // Answers the next password dialog; later ones are allowed.
  void answerNextAdminPrompt(AdminAnswer answer) { nextAnswer_ = answer; }
  // The prompt texts of the dialogs shown, oldest first.
  const std::vector<std::string>& adminPrompts() const { return prompts_; }
  // The words of each shell command run, after the shell's quote removal.
  const std::vector<std::vector<std::string>>& shellCommands() const { return commands_; }

  // An AppleScript string literal's text, or nothing when it is malformed;
  // text starts at the opening quote and is moved past the closing one.
  static std::optional<std::string> readStringLiteral(std::string_view& text);
  // The words of a shell command, quotes removed; "&&" stays a word of its
  // own. Nothing for an unterminated quote.
  static std::optional<std::vector<std::string>> shellWords(std::string_view command);

private:
  std::optional<AppleScriptError> runShell(const std::vector<std::string>& words);
  bool isInsideRoot(const std::filesystem::path& path) const;

  SimJournal& journal_;
  std::vector<std::filesystem::path> roots_;
  std::optional<AdminAnswer> nextAnswer_;
  std::vector<std::string> prompts_;
  std::vector<std::vector<std::string>> commands_;
};

} // namespace quillon
