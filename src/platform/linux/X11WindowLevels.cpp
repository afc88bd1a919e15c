#include "platform/linux/X11WindowLevels.h"

namespace quillon {

namespace {

constexpr long StateRemove = 0;
constexpr long StateAdd = 1;

} // namespace

void X11WindowLevels::setWindowLevel(std::uint32_t windowNumber, std::int32_t level) {
  const X11Atom above = properties_.atom("_NET_WM_STATE_ABOVE");
  properties_.sendToWindowManager(windowNumber, "_NET_WM_STATE",
                                  {level > NormalLevel ? StateAdd : StateRemove,
                                   static_cast<long>(above), 0, X11WindowProperties::SourcePager});
}

} // namespace quillon
