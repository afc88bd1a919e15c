#pragma once

#include "platform/xkb/XkbLayout.h"

#include <map>
#include <string>
#include <string_view>

namespace quillon {

// Compiling a keymap takes milliseconds, so each layout is compiled once and
// shared by the input sources and the scripted typist.
class XkbLayoutCache {
public:
  // Null (with the reason in error) when the layout cannot be compiled.
  const XkbLayout* layout(std::string_view layoutName, std::string* error = nullptr);

private:
  std::map<std::string, XkbLayout, std::less<>> layouts_;
};

} // namespace quillon
