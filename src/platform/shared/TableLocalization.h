#pragma once

#include "platform/Localization.h"

#include <map>
#include <string>
#include <vector>

namespace quillon {

// Localised texts from an in-memory table; a text without an entry is shown
// as its default.
class TableLocalization final : public Localization {
public:
  TableLocalization() = default;
  explicit TableLocalization(std::map<std::string, std::string, std::less<>> table)
      : table_(std::move(table)) {}

  std::string localizedString(std::string_view key, std::string_view defaultValue) const override;
  std::vector<std::string> preferredLanguages() const override { return preferredLanguages_; }
  void setPreferredLanguages(std::vector<std::string> languages) {
    preferredLanguages_ = std::move(languages);
  }
  void set(std::string key, std::string text) {
    table_.insert_or_assign(std::move(key), std::move(text));
  }

private:
  std::map<std::string, std::string, std::less<>> table_;
  std::vector<std::string> preferredLanguages_{"en"};
};

} // namespace quillon
