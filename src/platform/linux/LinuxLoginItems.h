#pragma once

#include "platform/LoginItems.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillon {

// Launch at login as a freedesktop autostart entry,
// <autostart>/quillon.desktop, which the session manager runs at login. The
// entry is written whole and renamed into place, so a crash never leaves
// half of one behind.
class LinuxLoginItems final : public LoginItems {
public:
  // Without an autostart folder (no home at all) every change is refused.
  LinuxLoginItems(std::optional<std::filesystem::path> autostartDirectory,
                  std::filesystem::path executable);

  LoginItemStatus status() const override;
  std::optional<LoginItemFailure> registerApplication() override;
  std::optional<LoginItemFailure> unregisterApplication() override;

  // The entry's text for this executable, its path quoted and escaped as
  // desktop entries require, whatever characters it holds.
  static std::string desktopEntry(const std::filesystem::path& executable);

private:
  std::optional<std::filesystem::path> entryFile() const;

  const std::optional<std::filesystem::path> autostartDirectory_;
  const std::filesystem::path executable_;
};

} // namespace quillon
