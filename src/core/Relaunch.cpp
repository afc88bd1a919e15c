#include "core/Relaunch.h"

namespace quillon {

std::string singleQuotedForShell(std::string_view text) {
  std::string quoted = "'";
  for (const char character : text) {
    if (character == '\'') {
      quoted += "'\\''";
    } else {
      quoted += character;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string relaunchShellCommand(std::string_view bundlePath, std::string_view openTool) {
  return "sleep 1; " + std::string(openTool) + " " + singleQuotedForShell(bundlePath);
}

} // namespace quillon
