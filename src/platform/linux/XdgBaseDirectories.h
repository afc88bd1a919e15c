#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillon {

// Where a freedesktop session keeps a user's configuration, from the two
// variables that decide it. Read once by the composition root and passed down,
// so tests can point everything at a folder of their own.
struct XdgBaseDirectories {
  std::optional<std::string> home;
  std::optional<std::string> configHome;
  std::optional<std::string> stateHome;
  std::optional<std::string> runtimeDirectory;

  static XdgBaseDirectories fromEnvironment();

  // $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or relative (a
  // relative one is invalid and ignored); nothing without either.
  std::optional<std::filesystem::path> configDirectory() const;
  // The product's own folder within it: its settings and other domains.
  std::optional<std::filesystem::path> quillonConfigDirectory() const;
  // What the product must remember about the session it changed:
  // $XDG_STATE_HOME/quillon, or ~/.local/state/quillon.
  std::optional<std::filesystem::path> quillonStateDirectory() const;
  // Files that live only as long as the login: $XDG_RUNTIME_DIR when it is
  // absolute, otherwise the state folder.
  std::optional<std::filesystem::path> quillonRuntimeDirectory() const;
  // The session manager starts what it finds here at login.
  std::optional<std::filesystem::path> autostartDirectory() const;
};

} // namespace quillon
