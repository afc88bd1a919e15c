#include "platform/shared/TableLocalization.h"

namespace quillon {

std::string TableLocalization::localizedString(std::string_view key,
                                               std::string_view defaultValue) const {
  const auto found = table_.find(key);
  return found == table_.end() ? std::string(defaultValue) : found->second;
}

} // namespace quillon
