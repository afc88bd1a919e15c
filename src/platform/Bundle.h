// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/PropertyValue.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The main bundle: where the running executable lives and what its
// information dictionary says.
class Bundle {
public:
  virtual ~Bundle() = default;
  virtual std::filesystem::path bundlePath() const = 0;
  virtual std::filesystem::path executablePath() const = 0;
  virtual std::optional<std::filesystem::path> resourcePath() const = 0;
  // Absent when the bundle has none or it could not be read.
  virtual std::optional<PropertyDictionary> infoDictionary() const = 0;
  virtual std::optional<std::string> bundleIdentifier() const = 0;
  // The languages the bundle is localised into ("Base" included), in the
  // platform's order.
  virtual std::vector<std::string> localizations() const { return {}; }
};

} // namespace quillon
