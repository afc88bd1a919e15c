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

  static XdgBaseDirectories fromEnvironment();

  // $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or relative (a
  // relative one is invalid and ignored); nothing without either.
  std::optional<std::filesystem::path> configDirectory() const;
  // The product's own folder within it: its settings and other domains.
  std::optional<std::filesystem::path> quillonConfigDirectory() const;
  // The session manager starts what it finds here at login.
  std::optional<std::filesystem::path> autostartDirectory() const;
};

} // namespace quillon
