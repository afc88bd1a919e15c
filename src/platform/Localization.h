// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// User-visible texts are looked up with their English (or Russian) text as
// both key and default.
class Localization {
public:
  virtual ~Localization() = default;
  virtual std::string localizedString(std::string_view key,
                                      std::string_view defaultValue) const = 0;
  std::string localized(std::string_view text) const { return localizedString(text, text); }
  // The user's preferred languages, most preferred first ("ru-RU", "en").
  virtual std::vector<std::string> preferredLanguages() const { return {}; }
};

} // namespace quillon
