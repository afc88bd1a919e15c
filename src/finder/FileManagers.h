#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The applications whose windows show folders: the Finder, and on a
// freedesktop session the file managers whose items and windows' folders
// can be read (GNOME Files and Nemo, named by their desktop entries).
inline constexpr std::array<std::string_view, 3> FileManagerBundleIdentifiers{
    "com.apple.finder", "org.gnome.Nautilus", "nemo"};

inline bool isFileManager(const std::optional<std::string>& bundleIdentifier) {
  return bundleIdentifier &&
         std::find(FileManagerBundleIdentifiers.begin(), FileManagerBundleIdentifiers.end(),
                   *bundleIdentifier) != FileManagerBundleIdentifiers.end();
}

} // namespace quillon
