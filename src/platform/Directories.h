// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <filesystem>
#include <optional>

namespace quillon {

// The user's standard folders; each is absent when the system names none.
class Directories {
public:
  virtual ~Directories() = default;
  virtual std::optional<std::filesystem::path> home() const = 0;
  virtual std::optional<std::filesystem::path> documents() const = 0;
  virtual std::optional<std::filesystem::path> desktop() const = 0;
  // Where built bundles are staged; the system's own by default.
  virtual std::filesystem::path temporary() const { return std::filesystem::temp_directory_path(); }
  // ~/Applications, whether or not it exists yet.
  virtual std::optional<std::filesystem::path> userApplications() const {
    const auto folder = home();
    return folder ? std::optional(*folder / "Applications") : std::nullopt;
  }
  // The Applications folder every user shares, writable only with
  // administrator rights.
  virtual std::filesystem::path systemApplications() const { return "/Applications"; }
};

} // namespace quillon
