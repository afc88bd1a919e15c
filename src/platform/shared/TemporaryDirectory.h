#pragma once

#include <filesystem>
#include <string_view>

namespace quillon {

// A fresh private folder that is removed with everything in it when this
// object goes away.
class TemporaryDirectory {
public:
  explicit TemporaryDirectory(std::string_view prefix = "quillon");
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory();

  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace quillon
