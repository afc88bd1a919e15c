#pragma once

#include "platform/AppleScript.h"
#include "platform/Directories.h"
#include "platform/Log.h"
#include "platform/WebAppPackaging.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// x with every "'" closed, escaped and reopened, for use between single
// quotes in a shell command.
std::string shellQuoted(std::string_view text);
// Backslashes and double quotes escaped, for use inside an AppleScript
// string literal.
std::string appleScriptEscaped(std::string_view text);
// The "do shell script … with administrator privileges" source that
// replaces destination with a copy of staged.
std::string privilegedCopyScript(const std::filesystem::path& staged,
                                 const std::filesystem::path& destination, std::string_view name);

// Signs a built bundle and puts it where the user's applications live.
class WebAppInstaller {
public:
  WebAppInstaller(WebAppPackaging& packaging, AppleScript& appleScript,
                  const Directories& directories, Log& log)
      : packaging_(packaging), appleScript_(appleScript), directories_(directories), log_(log) {}

  // An ad-hoc signature over the whole bundle; throws codesignFailed, or a
  // platform error when the signing cannot start.
  void adhocCodesign(const std::filesystem::path& bundle);
  // The shared Applications folder with the administrator's consent, else
  // the user's own (the only one where the desktop has no shared copy); an older bundle of the same
  // name is replaced. Answers where the bundle now lives; throws on failure.
  std::filesystem::path installBundle(const std::filesystem::path& staged, const std::string& name);
  bool installViaAdmin(const std::filesystem::path& staged,
                       const std::filesystem::path& destination, const std::string& name);

private:
  WebAppPackaging& packaging_;
  AppleScript& appleScript_;
  const Directories& directories_;
  Log& log_;
  bool toldNoSharedInstall_ = false;
};

} // namespace quillon
