#include "platform/linux/XdgUserDirectories.h"

#include <fstream>
#include <string>

namespace quillon {

std::optional<std::filesystem::path> xdgUserDirectory(const std::filesystem::path& home,
                                                      std::string_view configHome,
                                                      std::string_view name) {
  const std::filesystem::path folder =
      configHome.starts_with('/') ? std::filesystem::path(configHome) : home / ".config";
  std::ifstream in(folder / "user-dirs.dirs");
  constexpr std::string_view homePrefix = "$HOME/";
  // Lines read NAME="$HOME/Folder" or NAME="/absolute/folder".
  for (std::string line; std::getline(in, line);) {
    const std::string_view text(line);
    if (!text.starts_with(name) || text.size() < name.size() + 3 ||
        text.substr(name.size(), 2) != "=\"" || !text.ends_with('"')) {
      continue;
    }
    const std::string_view value = text.substr(name.size() + 2, text.size() - name.size() - 3);
    if (value.starts_with(homePrefix) && value.size() > homePrefix.size() &&
        value.find("..") == std::string_view::npos) {
      return home / value.substr(homePrefix.size());
    }
    // "$HOME/" alone is how the settings turn a folder off; the home
    // folder itself is no Documents folder either.
    if (value.starts_with('/') && value.size() > 1) {
      return std::filesystem::path(value);
    }
  }
  return std::nullopt;
}

} // namespace quillon
