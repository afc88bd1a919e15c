#pragma once

#include "platform/Clock.h"
#include "platform/Directories.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quillon {

// Where capture files go and what they are called: a folder under
// ~/Documents/Parlando Files, and a name carrying the local time to the
// second ("Screenshot 2025-03-14 at 09.26.53.jpg").
namespace capturefiles {

inline constexpr std::string_view ScreenshotsFolder = "Parlando Files/screenshots";
inline constexpr std::string_view ScreenFolder = "Parlando Files/screen";
inline constexpr std::string_view AudioFolder = "Parlando Files/audiorec";

// The time as "yyyy-MM-dd 'at' HH.mm.ss" in the en_US_POSIX locale, in the
// named time zone or, without one, the system's.
std::string timestamp(WallTime time, std::optional<std::string_view> timeZone = std::nullopt);

std::string fileName(std::string_view prefix, WallTime time, std::string_view extension,
                     std::optional<std::string_view> timeZone = std::nullopt);

// The file a new capture writes in folder: fileName's, or, when something
// already stands there, the same name with " 2", " 3" … before the
// extension, so no capture replaces another and a cancelled one is not
// mistaken for an earlier one that was saved.
std::filesystem::path freshFile(const std::filesystem::path& folder, std::string_view prefix,
                                WallTime time, std::string_view extension,
                                std::optional<std::string_view> timeZone = std::nullopt);

struct Folder {
  bool documentsFound = false;
  // Set once the folder exists.
  std::optional<std::filesystem::path> path;
  // What was to be created, and why it could not be.
  std::filesystem::path attempted;
  std::string error;
};

// Documents / relative, created with the folders leading to it.
Folder ensureFolder(const Directories& directories, std::string_view relative);

} // namespace capturefiles

} // namespace quillon
