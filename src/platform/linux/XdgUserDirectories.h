#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace quillon {

// A folder the user's xdg-user-dirs settings name (`XDG_DOCUMENTS_DIR`, …),
// read from user-dirs.dirs in the configuration folder (`configHome`, or
// ~/.config when that is not an absolute path); none when it is not named
// there. Read on every call: the user may rename the folder meanwhile.
std::optional<std::filesystem::path> xdgUserDirectory(const std::filesystem::path& home,
                                                      std::string_view configHome,
                                                      std::string_view name);

} // namespace quillon
