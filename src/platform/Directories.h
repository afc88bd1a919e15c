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
};

} // namespace quillon
