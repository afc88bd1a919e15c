#include "windows/RectDescription.h"

#include <array>
#include <charconv>
#include <string_view>

namespace quillon {

std::string describeNumber(double value) {
  std::array<char, 32> buffer{};
  const auto [end, problem] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  std::string text(buffer.data(), problem == std::errc() ? end : buffer.data());
  if (text.find_first_not_of("-0123456789") == std::string::npos) {
    text += ".0";
  }
  return text;
}

std::string describeRect(const Rect& rect) {
  std::string text = "(";
  for (const double value : {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}) {
    text.append(text.size() > 1 ? ", " : "").append(describeNumber(value));
  }
  return text.append(")");
}

} // namespace quillon
