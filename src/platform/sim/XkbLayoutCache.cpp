#include "platform/sim/XkbLayoutCache.h"

namespace quillon {

const XkbLayout* XkbLayoutCache::layout(std::string_view spec, std::string* error) {
  if (const auto found = layouts_.find(spec); found != layouts_.end()) {
    return &found->second;
  }
  auto loaded = XkbLayout::load(spec, error);
  if (!loaded) {
    return nullptr;
  }
  return &layouts_.emplace(std::string(spec), std::move(*loaded)).first->second;
}

} // namespace quillon
