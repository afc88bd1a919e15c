#include "platform/linux/WebAppFolders.h"

#include <cstdlib>

namespace quillon {

namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(value);
}

std::string sizeFolder(int pixels) {
  return std::to_string(pixels) + "x" + std::to_string(pixels);
}

} // namespace

std::optional<WebAppFolders> WebAppFolders::fromEnvironment() {
  if (const auto data = absoluteVariable("XDG_DATA_HOME")) {
    return WebAppFolders(*data);
  }
  if (const auto home = absoluteVariable("HOME")) {
    return WebAppFolders(*home / ".local" / "share");
  }
  return std::nullopt;
}

std::filesystem::path WebAppFolders::launcher(std::string_view identifier) const {
  return applications() / (std::string(identifier) + ".desktop");
}

std::filesystem::path WebAppFolders::icon(int pixels, std::string_view identifier) const {
  return hicolor() / sizeFolder(pixels) / "apps" / (std::string(identifier) + ".png");
}

std::filesystem::path WebAppFolders::websiteData(std::string_view identifier) const {
  return dataHome_ / "quillon" / "webapps" / std::string(identifier) / "data";
}

std::filesystem::path WebAppFolders::websiteCache(std::string_view identifier) const {
  return dataHome_ / "quillon" / "webapps" / std::string(identifier) / "cache";
}

} // namespace quillon
