#include "platform/shared/PosixExtendedAttributes.h"

#include <cerrno>
#include <string>
#include <sys/xattr.h>

namespace quillon {

namespace {
// Attribute values the product stores are a few bytes; a bigger one is not
// ours and is not read.
constexpr std::size_t largestValue = 64 * 1024;
} // namespace

std::string PosixExtendedAttributes::systemName(std::string_view name) {
#ifdef __linux__
  return "user." + std::string(name);
#else
  return std::string(name);
#endif
}

std::optional<std::vector<std::uint8_t>>
PosixExtendedAttributes::read(const std::filesystem::path& file, std::string_view name) const {
  const std::string attribute = systemName(name);
  const ssize_t size = ::getxattr(file.c_str(), attribute.c_str(), nullptr, 0);
  if (size < 0 || static_cast<std::size_t>(size) > largestValue) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
  const ssize_t got = ::getxattr(file.c_str(), attribute.c_str(), value.data(), value.size());
  if (got < 0) {
    return std::nullopt;
  }
  value.resize(static_cast<std::size_t>(got));
  return value;
}

int PosixExtendedAttributes::write(const std::filesystem::path& file, std::string_view name,
                                   const std::vector<std::uint8_t>& value) {
  const std::string attribute = systemName(name);
  if (::setxattr(file.c_str(), attribute.c_str(), value.data(), value.size(), 0) != 0) {
    return errno;
  }
  return 0;
}

int PosixExtendedAttributes::remove(const std::filesystem::path& file, std::string_view name) {
  const std::string attribute = systemName(name);
  if (::removexattr(file.c_str(), attribute.c_str()) != 0) {
    return errno;
  }
  return 0;
}

} // namespace quillon
