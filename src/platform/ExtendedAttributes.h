// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace quillon {

// The Finder information of a file; its flags say, among other things,
// that a folder has an icon of its own.
inline constexpr std::string_view finderInfoAttributeName = "com.apple.FinderInfo";

// Named byte strings kept with a file by the file system. Names are the
// product's ("com.apple.FinderInfo"); a backend places them where its file
// system allows.
class ExtendedAttributes {
public:
  virtual ~ExtendedAttributes() = default;
  // Absent when the file has no such attribute or cannot be read.
  virtual std::optional<std::vector<std::uint8_t>> read(const std::filesystem::path& file,
                                                        std::string_view name) const = 0;
  // 0 on success, otherwise the system's error number.
  virtual int write(const std::filesystem::path& file, std::string_view name,
                    const std::vector<std::uint8_t>& value) = 0;
  virtual int remove(const std::filesystem::path& file, std::string_view name) = 0;
};

} // namespace quillon
