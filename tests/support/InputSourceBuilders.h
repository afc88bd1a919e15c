#pragma once

#include "platform/InputSources.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// An enabled, selectable keyboard source; tests change what they need.
inline InputSourceInfo keyboardSource(std::string identifier, std::vector<std::string> languages,
                                      std::string_view type = inputsource::TypeKeyboardLayout) {
  InputSourceInfo info;
  info.identifier = std::move(identifier);
  info.category = std::string(inputsource::CategoryKeyboard);
  info.type = std::string(type);
  info.enableCapable = true;
  info.enabled = true;
  info.selectCapable = true;
  info.languages = std::move(languages);
  return info;
}

} // namespace quillon
