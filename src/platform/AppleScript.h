// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

struct AppleScriptError {
  int number = 0;
  std::string message;
};

struct AppleScriptOutcome {
  // False when the source does not compile; nothing ran.
  bool compiled = true;
  std::optional<AppleScriptError> error;
};

// Runs AppleScript source in this process, as the privileged copy needs: a
// "do shell script … with administrator privileges" shows the system's own
// password dialog.
class AppleScript {
public:
  virtual ~AppleScript() = default;
  virtual AppleScriptOutcome execute(std::string_view source) = 0;
};

} // namespace quillon
