#include "platform/sim/SimDirectories.h"

#include <system_error>

namespace quillon {

SimDirectories::SimDirectories() {
  std::error_code ignored;
  std::filesystem::create_directories(home_.path() / "Documents", ignored);
  std::filesystem::create_directories(home_.path() / "Desktop", ignored);
  std::filesystem::create_directories(system_.path() / "tmp", ignored);
  std::filesystem::create_directories(system_.path() / "Applications", ignored);
}

std::optional<std::filesystem::path> SimDirectories::documents() const {
  if (!documentsNamed_) {
    return std::nullopt;
  }
  return home_.path() / "Documents";
}

std::optional<std::filesystem::path> SimDirectories::desktop() const {
  return home_.path() / "Desktop";
}

} // namespace quillon
