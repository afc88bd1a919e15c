#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Where the desktop looks for the user's launchers and icons, and where each
// web app keeps its website data: all under $XDG_DATA_HOME
// (~/.local/share when it is unset or relative).
class WebAppFolders {
public:
  explicit WebAppFolders(std::filesystem::path dataHome) : dataHome_(std::move(dataHome)) {}
  // Nothing when neither variable names an absolute folder.
  static std::optional<WebAppFolders> fromEnvironment();

  const std::filesystem::path& dataHome() const { return dataHome_; }
  std::filesystem::path applications() const { return dataHome_ / "applications"; }
  std::filesystem::path launcher(std::string_view identifier) const;
  std::filesystem::path hicolor() const { return dataHome_ / "icons" / "hicolor"; }
  std::filesystem::path icon(int pixels, std::string_view identifier) const;
  // Cookies, storage and caches of one web app, never shared with another.
  std::filesystem::path websiteData(std::string_view identifier) const;
  std::filesystem::path websiteCache(std::string_view identifier) const;

private:
  std::filesystem::path dataHome_;
};

} // namespace quillon
