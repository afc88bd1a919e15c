#include "platform/sim/SimTypist.h"

#include "text/Unicode.h"

#include <vector>

namespace quillon {

std::optional<std::string> SimTypist::type(std::string_view layoutName, std::string_view text,
                                           Duration interKeyDelay) {
  std::string problem;
  const XkbLayout* layout = layouts_.layout(layoutName, &problem);
  if (layout == nullptr) {
    return "unknown layout \"" + std::string(layoutName) + "\"";
  }
  const auto characters = decodeUtf8(text);
  if (!characters) {
    return std::string("text is not valid UTF-8");
  }
  std::vector<KeyStroke> strokes;
  for (const char32_t character : *characters) {
    const auto stroke = layout->strokeFor(character);
    if (!stroke) {
      return "no key of " + std::string(layoutName) + " types \"" + encodeUtf8(character) + "\"";
    }
    strokes.push_back(*stroke);
  }
  for (std::size_t index = 0; index < strokes.size(); ++index) {
    if (index > 0) {
      runLoop_.advance(interKeyDelay);
    }
    strike(strokes[index].keyCode, strokes[index].shift, strokes[index].option);
  }
  return std::nullopt;
}

void SimTypist::strike(KeyCode key, bool shift, bool option) {
  if (shift) {
    keyboard_.keyDown(keycode::Shift);
  }
  if (option) {
    keyboard_.keyDown(keycode::Option);
  }
  keyboard_.tap(key);
  if (option) {
    keyboard_.keyUp(keycode::Option);
  }
  if (shift) {
    keyboard_.keyUp(keycode::Shift);
  }
}

} // namespace quillon
