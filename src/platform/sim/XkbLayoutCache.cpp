#include "platform/sim/XkbLayoutCache.h"

namespace quillon {

const XkbLayout* XkbLayoutCache::layout(std::string_view layoutName, std::string* error) {
  if (const auto found = layouts_.find(layoutName); found != layouts_.end()) {
    return &found->second;
  }
  auto loaded = XkbLayout::load(layoutName, error);
  if (!loaded) {
    return nullptr;
  }
  return &layouts_.emplace(std::string(layoutName), std::move(*loaded)).first->second;
}

} // namespace quillon
