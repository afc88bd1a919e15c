#include "simulate/Chord.h"

#include "simulate/ScriptSyntax.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillon {

namespace {

struct NamedKey {
  std::string_view name;
  KeyCode key;
};

constexpr std::array<NamedKey, 6> modifierNames{{
    {"shift", keycode::Shift},
    {"ctrl", keycode::Control},
    {"alt", keycode::Option},
    {"option", keycode::Option},
    {"cmd", keycode::Command},
    {"fn", keycode::Function},
}};

constexpr std::array<NamedKey, 25> keyNames{{
    {"space", keycode::Space},
    {"return", keycode::Return},
    {"tab", keycode::Tab},
    {"delete", keycode::Delete},
    {"escape", keycode::Escape},
    {"left", keycode::LeftArrow},
    {"right", keycode::RightArrow},
    {"up", keycode::UpArrow},
    {"down", keycode::DownArrow},
    {"home", keycode::Home},
    {"end", keycode::End},
    {"pageup", keycode::PageUp},
    {"pagedown", keycode::PageDown},
    {"f1", keycode::F1},
    {"f2", keycode::F2},
    {"f3", keycode::F3},
    {"f4", keycode::F4},
    {"f5", keycode::F5},
    {"f6", keycode::F6},
    {"f7", keycode::F7},
    {"f8", keycode::F8},
    {"f9", keycode::F9},
    {"f10", keycode::F10},
    {"f11", keycode::F11},
    {"f12", keycode::F12},
}};

struct UsCharacter {
  KeyCode key;
  bool shift;
};

// The printable characters of the US layout, by the key that types them.
// Index is the key code; NUL marks keys that type no printable character.
using namespace std::string_view_literals;
constexpr std::string_view usUnshifted =
    "asdfhgzxcv\0bqweryt123465=97-80]ou[ip\0lj'k;\\,/nm.\0 `"sv;
constexpr std::string_view usShifted = "ASDFHGZXCV\0BQWERYT!@#$^%+(&_*)}OU{IP\0LJ\"K:|<?NM>\0 ~"sv;
static_assert(usUnshifted.size() == 51 && usShifted.size() == 51);

std::optional<UsCharacter> usKeyFor(char character) {
  for (std::size_t index = 0; index < usUnshifted.size(); ++index) {
    if (usUnshifted[index] == character && character != '\0') {
      return UsCharacter{static_cast<KeyCode>(index), false};
    }
    if (usShifted[index] == character && character != '\0' && character != ' ') {
      return UsCharacter{static_cast<KeyCode>(index), true};
    }
  }
  return std::nullopt;
}

std::string lowercase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](unsigned char character) {
    return static_cast<char>(std::tolower(character));
  });
  return result;
}

template <std::size_t N>
std::optional<KeyCode> lookUp(const std::array<NamedKey, N>& names, std::string_view name) {
  const std::string lowered = lowercase(name);
  for (const NamedKey& named : names) {
    if (named.name == lowered) {
      return named.key;
    }
  }
  return std::nullopt;
}

std::vector<std::string_view> splitParts(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t plus = text.find('+', start);
    // "cmd++" names the plus key itself.
    if (plus == start && plus + 1 == text.size()) {
      parts.push_back(text.substr(start, 1));
      break;
    }
    if (plus == std::string_view::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, plus - start));
    start = plus + 1;
  }
  return parts;
}

} // namespace

std::optional<Chord> parseChord(std::string_view text, std::string* error) {
  auto fail = [error](std::string message) -> std::optional<Chord> {
    if (error != nullptr) {
      *error = std::move(message);
    }
    return std::nullopt;
  };
  if (text.empty()) {
    return fail("empty chord");
  }
  Chord chord;
  const auto parts = splitParts(text);
  for (std::size_t index = 0; index < parts.size(); ++index) {
    const std::string_view part = parts[index];
    if (part.empty()) {
      return fail("empty part in chord " + quotedArgument(text));
    }
    if (const auto modifier = lookUp(modifierNames, part)) {
      if (chord.key) {
        return fail("modifier after the key in chord " + quotedArgument(text));
      }
      chord.modifiers.push_back(*modifier);
      continue;
    }
    if (index + 1 != parts.size()) {
      return fail("unknown modifier " + quotedArgument(part));
    }
    if (const auto named = lookUp(keyNames, part)) {
      chord.key = *named;
      continue;
    }
    if (part.size() != 1) {
      return fail("unknown key " + quotedArgument(part));
    }
    const auto usKey = usKeyFor(part.front());
    if (!usKey) {
      return fail("no US key types " + quotedArgument(part));
    }
    chord.key = usKey->key;
    const bool hasShift = std::find(chord.modifiers.begin(), chord.modifiers.end(),
                                    keycode::Shift) != chord.modifiers.end();
    if (usKey->shift && !hasShift) {
      chord.modifiers.push_back(keycode::Shift);
    }
  }
  return chord;
}

} // namespace quillon
