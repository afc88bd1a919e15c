#include "platform/sim/SimTypist.h"

#include <unicode/utf8.h>

#include <vector>

namespace quillon {

namespace {

std::optional<std::u32string> decodeUtf8(std::string_view text) {
  std::u32string decoded;
  int32_t offset = 0;
  const auto length = static_cast<int32_t>(text.size());
  while (offset < length) {
    UChar32 codePoint = 0;
// ICU's decoding macro narrows internally.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
    U8_NEXT(text.data(), offset, length, codePoint);
#pragma GCC diagnostic pop
    if (codePoint < 0) {
      return std::nullopt;
    }
    decoded.push_back(static_cast<char32_t>(codePoint));
  }
  return decoded;
}

std::string encodeUtf8(char32_t codePoint) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool failed = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
  U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(codePoint), failed);
#pragma GCC diagnostic pop
  return failed ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace

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
