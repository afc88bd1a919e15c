#include "platform/linux/XdgBaseDirectories.h"

#include <cstdlib>

namespace quillon {

namespace {

constexpr std::string_view quillonFolderName = "quillon";
constexpr std::string_view autostartFolderName = "autostart";

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

bool isAbsolute(const std::optional<std::string>& path) {
  return path && !path->empty() && path->front() == '/';
}

} // namespace

XdgBaseDirectories XdgBaseDirectories::fromEnvironment() {
  return {.home = variable("HOME"),
          .configHome = variable("XDG_CONFIG_HOME"),
          .stateHome = variable("XDG_STATE_HOME"),
          .runtimeDirectory = variable("XDG_RUNTIME_DIR")};
}

std::optional<std::filesystem::path> XdgBaseDirectories::configDirectory() const {
  if (isAbsolute(configHome)) {
    return std::filesystem::path(*configHome);
  }
  if (isAbsolute(home)) {
    return std::filesystem::path(*home) / ".config";
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> XdgBaseDirectories::quillonConfigDirectory() const {
  const auto config = configDirectory();
  if (!config) {
    return std::nullopt;
  }
  return *config / quillonFolderName;
}

std::optional<std::filesystem::path> XdgBaseDirectories::quillonStateDirectory() const {
  if (isAbsolute(stateHome)) {
    return std::filesystem::path(*stateHome) / quillonFolderName;
  }
  if (isAbsolute(home)) {
    return std::filesystem::path(*home) / ".local" / "state" / quillonFolderName;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> XdgBaseDirectories::quillonRuntimeDirectory() const {
  if (isAbsolute(runtimeDirectory)) {
    return std::filesystem::path(*runtimeDirectory) / quillonFolderName;
  }
  return quillonStateDirectory();
}

std::optional<std::filesystem::path> XdgBaseDirectories::autostartDirectory() const {
  const auto config = configDirectory();
  if (!config) {
    return std::nullopt;
  }
  return *config / autostartFolderName;
}

} // namespace quillon
