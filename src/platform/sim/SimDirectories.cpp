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

bool SimDirectories::setHome(const std::filesystem::path& home) {
  std::error_code error;
  std::filesystem::create_directories(home / "Documents", error);
  if (!error) {
    std::filesystem::create_directories(home / "Desktop", error);
  }
  if (error) {
    return false;
  }
  chosenHome_ = std::filesystem::absolute(home, error);
  return !error;
}

std::optional<std::filesystem::path> SimDirectories::documents() const {
  if (!documentsNamed_) {
    return std::nullopt;
  }
  return *home() / "Documents";
}

std::optional<std::filesystem::path> SimDirectories::desktop() const {
  return *home() / "Desktop";
}

} // namespace quillon
