#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// File addresses as the accessibility service and the workspace exchange
// them: "file://" followed by a percent-encoded absolute path.
class FileUrl {
public:
  // The local path of a file address; absent for any other address, one
  // naming another host, or one whose escapes are malformed.
  static std::optional<std::filesystem::path> path(std::string_view url);
  static std::string make(const std::filesystem::path& path);
};

} // namespace quillon
