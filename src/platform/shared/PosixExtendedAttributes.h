#pragma once

#include "platform/ExtendedAttributes.h"

namespace quillon {

// Extended attributes of the local file system. Linux lets unprivileged
// processes keep attributes only in its user namespace, so every name gets
// the "user." prefix there.
class PosixExtendedAttributes final : public ExtendedAttributes {
public:
  std::optional<std::vector<std::uint8_t>> read(const std::filesystem::path& file,
                                                std::string_view name) const override;
  int write(const std::filesystem::path& file, std::string_view name,
            const std::vector<std::uint8_t>& value) override;
  int remove(const std::filesystem::path& file, std::string_view name) override;

  static std::string systemName(std::string_view name);
};

} // namespace quillon
