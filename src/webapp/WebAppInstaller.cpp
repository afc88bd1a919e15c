#include "webapp/WebAppInstaller.h"

#include "webapp/WebAppError.h"

#include <system_error>

namespace quillon {

namespace {

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// A rename where it can be one; across volumes (the temporary folder often
// lives on another), a copy and a removal.
void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  if (!error) {
    return;
  }
  if (error != std::errc::cross_device_link) {
    throw std::filesystem::filesystem_error("cannot move the bundle", from, to, error);
  }
  std::filesystem::copy(from, to,
                        std::filesystem::copy_options::recursive |
                            std::filesystem::copy_options::copy_symlinks);
  std::filesystem::remove_all(from);
}

} // namespace

std::string shellQuoted(std::string_view text) {
  std::string quoted(text);
  replaceAll(quoted, "'", "'\\''");
  return quoted;
}

std::string appleScriptEscaped(std::string_view text) {
  std::string escaped(text);
  replaceAll(escaped, "\\", "\\\\");
  replaceAll(escaped, "\"", "\\\"");
  return escaped;
}

// The shell command is quoted for the shell first and then, whole, for the
// AppleScript literal that carries it: AppleScript removes its escapes
// before the shell reads the command, so the shell's own "'\''" survives.
// The name in the prompt is escaped fully too, so no name can end the
// literal early.
std::string privilegedCopyScript(const std::filesystem::path& staged,
                                 const std::filesystem::path& destination, std::string_view name) {
  const std::string command = "rm -rf '" + shellQuoted(destination.string()) + "' && cp -R '" +
                              shellQuoted(staged.string()) + "' '" +
                              shellQuoted(destination.string()) + "'";
  return "do shell script \"" + appleScriptEscaped(command) +
         "\" with administrator privileges with prompt \"Quillon wants to install " +
         appleScriptEscaped(name) + " into /Applications.\"";
}

void WebAppInstaller::adhocCodesign(const std::filesystem::path& bundle) {
  const auto failure = packaging_.seal(bundle);
  if (!failure) {
    return;
  }
  if (failure->kind == SealFailure::Kind::NotStarted) {
    throw WebAppError(WebAppError::Kind::platform, failure->message);
  }
  throw WebAppError::codesignFailed(failure->message);
}

std::filesystem::path WebAppInstaller::installBundle(const std::filesystem::path& staged,
                                                     const std::string& name) {
  if (packaging_.offersSharedInstall()) {
    const std::filesystem::path destination = directories_.systemApplications() / (name + ".app");
    if (installViaAdmin(staged, destination, name)) {
      return destination;
    }
    log_.write("Quillon webapp: /Applications install declined or failed — falling back to "
               "~/Applications");
  } else if (!toldNoSharedInstall_) {
    toldNoSharedInstall_ = true;
    log_.write("Quillon webapp: a copy for every user has no meaning on this desktop — "
               "installing into ~/Applications");
  }
  const auto folder = directories_.userApplications();
  if (!folder) {
    throw WebAppError::noApplicationsDir();
  }
  std::error_code ignored;
  std::filesystem::create_directories(*folder, ignored);
  const std::filesystem::path target = *folder / (name + ".app");
  std::filesystem::remove_all(target);
  moveItem(staged, target);
  return target;
}

bool WebAppInstaller::installViaAdmin(const std::filesystem::path& staged,
                                      const std::filesystem::path& destination,
                                      const std::string& name) {
  const AppleScriptOutcome outcome =
      appleScript_.execute(privilegedCopyScript(staged, destination, name));
  if (!outcome.compiled) {
    return false;
  }
  if (outcome.error) {
    log_.write("Quillon webapp: admin install failed (" + std::to_string(outcome.error->number) +
               ") — " + outcome.error->message);
    return false;
  }
  std::error_code error;
  return std::filesystem::exists(destination, error);
}

} // namespace quillon
