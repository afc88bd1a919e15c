#include "platform/xkb/XkbLayout.h"

#include "platform/xkb/KeyCodeTable.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <tuple>
#include <utility>

namespace quillon {
namespace {

struct ContextDeleter {
  void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
  void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
  void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using ContextPtr = std::unique_ptr<xkb_context, ContextDeleter>;
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

using KeyTexts = XkbLayout::KeyTexts;
using KeyCharacters = std::array<char32_t, std::tuple_size_v<KeyTexts>>;

// xkb-data names are short; anything longer is not a layout name.
constexpr std::size_t kMaxNameLength = 64;

void fail(std::string* error, std::string message) {
  if (error != nullptr) {
    *error = std::move(message);
  }
}

// --- Parsing "name(variant)" -------------------------------------------------

struct LayoutName {
  std::string layout;
  std::string variant;
};

constexpr bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// Restricting names to this alphabet keeps path separators, commas (which
// would add layouts) and quotes away from xkb's file lookup.
bool isName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) {
    return false;
  }
  for (const char c : name) {
    if (!isNameCharacter(c)) {
      return false;
    }
  }
  return true;
}

std::optional<LayoutName> parseLayoutName(std::string_view layoutName) {
  const std::size_t open = layoutName.find('(');
  if (open == std::string_view::npos) {
    if (!isName(layoutName)) {
      return std::nullopt;
    }
    return LayoutName{std::string(layoutName), {}};
  }
  if (layoutName.back() != ')' || layoutName.size() < open + 2) {
    return std::nullopt;
  }
  const std::string_view layout = layoutName.substr(0, open);
  const std::string_view variant = layoutName.substr(open + 1, layoutName.size() - open - 2);
  if (!isName(layout) || !isName(variant)) {
    return std::nullopt;
  }
  return LayoutName{std::string(layout), std::string(variant)};
}

// --- Compiling the keymap ----------------------------------------------------

// libxkbcommon prints to stderr by default; a misspelt layout name should reach
// the caller as an error message instead.
struct LogCapture {
  std::string firstError;
};

void captureLog(xkb_context* context, xkb_log_level level, const char* format, va_list args) {
  auto* capture = static_cast<LogCapture*>(xkb_context_get_user_data(context));
  if (capture == nullptr || level > XKB_LOG_LEVEL_ERROR || !capture->firstError.empty()) {
    return;
  }
  std::array<char, 256> line{};
  std::vsnprintf(line.data(), line.size(), format, args);
  capture->firstError = line.data();
  while (!capture->firstError.empty() &&
         (capture->firstError.back() == '\n' || capture->firstError.back() == ' ')) {
    capture->firstError.pop_back();
  }
}

// The keymap is built from xkb-data alone: XKB_DEFAULT_* variables in the
// user's environment must not slip extra options or layouts into it.
ContextPtr makeContext(LogCapture& capture) {
  ContextPtr context{xkb_context_new(static_cast<xkb_context_flags>(
      XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES))};
  if (!context) {
    return nullptr;
  }
  // Logging is redirected before the include paths are added so that nothing
  // reaches stderr.
  xkb_context_set_log_fn(context.get(), captureLog);
  xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_ERROR);
  xkb_context_set_user_data(context.get(), &capture);
  if (xkb_context_include_path_append_default(context.get()) == 0) {
    return nullptr;
  }
  return context;
}

KeymapPtr compileKeymap(xkb_context* context, const LayoutName& name) {
  const xkb_rule_names names{
      .rules = "evdev",
      .model = "pc105",
      .layout = name.layout.c_str(),
      .variant = name.variant.c_str(),
      .options = "",
  };
  return KeymapPtr{xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)};
}

// --- Reading the keymap ------------------------------------------------------

constexpr std::size_t combinationIndex(KeyModifiers modifiers) {
  return (modifiers.shift ? 1U : 0U) | (modifiers.capsLock ? 2U : 0U) |
         (modifiers.option ? 4U : 0U);
}

constexpr KeyModifiers combination(std::size_t index) {
  return {.shift = (index & 1U) != 0, .capsLock = (index & 2U) != 0, .option = (index & 4U) != 0};
}

xkb_mod_mask_t modifierMask(xkb_keymap* keymap, const char* name, const char* fallback) {
  xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
  if (index == XKB_MOD_INVALID) {
    index = xkb_keymap_mod_get_index(keymap, fallback);
  }
  return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << index;
}

struct ModifierMasks {
  xkb_mod_mask_t shift;
  xkb_mod_mask_t capsLock;
  xkb_mod_mask_t option;
  xkb_mod_mask_t numLock;
};

ModifierMasks modifierMasks(xkb_keymap* keymap) {
  return {
      .shift = modifierMask(keymap, XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_SHIFT),
      .capsLock = modifierMask(keymap, XKB_MOD_NAME_CAPS, XKB_MOD_NAME_CAPS),
      .option = modifierMask(keymap, "LevelThree", "Mod5"),
      .numLock = modifierMask(keymap, "NumLock", XKB_MOD_NAME_NUM),
  };
}

// Mac keypads have no Num Lock and always type digits, so the state keeps it
// locked throughout.
void applyCombination(xkb_state* state, const ModifierMasks& masks, KeyModifiers modifiers) {
  const xkb_mod_mask_t depressed =
      (modifiers.shift ? masks.shift : 0) | (modifiers.option ? masks.option : 0);
  const xkb_mod_mask_t locked = masks.numLock | (modifiers.capsLock ? masks.capsLock : 0);
  xkb_state_update_mask(state, depressed, 0, locked, 0, 0, 0);
}

// xkb gives Return, Tab, Backspace and Escape C0 control text and Forward
// Delete DEL. Those are actions, not text; the product handles them by key.
constexpr bool isControl(char32_t character) {
  return character < 0x20 || character == 0x7F;
}

std::string printableText(xkb_state* state, xkb_keycode_t key) {
  const int size = xkb_state_key_get_utf8(state, key, nullptr, 0);
  if (size <= 0) {
    return {};
  }
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  xkb_state_key_get_utf8(state, key, text.data(), text.size());
  text.resize(static_cast<std::size_t>(size));
  return isControl(static_cast<unsigned char>(text.front())) ? std::string{} : text;
}

// Zero unless the key types exactly one printable character.
char32_t singleCharacter(xkb_state* state, xkb_keycode_t key) {
  const char32_t character = xkb_state_key_get_utf32(state, key);
  return isControl(character) ? 0 : character;
}

struct KeymapTables {
  std::vector<KeyTexts> texts;
  std::vector<KeyCharacters> characters;
};

std::optional<KeymapTables> readKeymap(xkb_keymap* keymap) {
  const StatePtr state{xkb_state_new(keymap)};
  if (!state) {
    return std::nullopt;
  }
  const ModifierMasks masks = modifierMasks(keymap);
  KeymapTables tables{std::vector<KeyTexts>(kVirtualKeyCodeLimit),
                      std::vector<KeyCharacters>(kVirtualKeyCodeLimit)};
  for (std::size_t index = 0; index < std::tuple_size_v<KeyTexts>; ++index) {
    applyCombination(state.get(), masks, combination(index));
    for (const KeyCodeMapping& mapping : keyCodeMappings()) {
      tables.texts[mapping.keyCode][index] = printableText(state.get(), mapping.xkbKeycode);
      tables.characters[mapping.keyCode][index] = singleCharacter(state.get(), mapping.xkbKeycode);
    }
  }
  return tables;
}

// Caps Lock is left out: a stroke must type the same character whatever the
// lock state the caller later finds.
std::unordered_map<char32_t, KeyStroke> indexStrokes(const std::vector<KeyCharacters>& characters) {
  static constexpr std::array<KeyModifiers, 4> kPreference{{
      {},
      {.shift = true},
      {.option = true},
      {.shift = true, .option = true},
  }};
  std::unordered_map<char32_t, KeyStroke> strokes;
  // The ISO key next to left Shift is missing from ANSI keyboards, so it is
  // used only for characters no other key types.
  for (const bool isoKeyPass : {false, true}) {
    for (const KeyModifiers& modifiers : kPreference) {
      // keyCodeMappings() is ordered by key code, so the first key found wins.
      for (const KeyCodeMapping& mapping : keyCodeMappings()) {
        const char32_t character = characters[mapping.keyCode][combinationIndex(modifiers)];
        const bool isIsoKey = mapping.keyCode == keycode::Section;
        if (mapping.keypad || character == 0 || isIsoKey != isoKeyPass) {
          continue;
        }
        strokes.try_emplace(character,
                            KeyStroke{mapping.keyCode, modifiers.shift, modifiers.option});
      }
    }
  }
  return strokes;
}

} // namespace

XkbLayout::XkbLayout(std::string layoutName, std::vector<KeyTexts> texts,
                     std::unordered_map<char32_t, KeyStroke> strokes)
    : name_(std::move(layoutName)), texts_(std::move(texts)), strokes_(std::move(strokes)) {}

std::optional<XkbLayout> XkbLayout::load(std::string_view layoutName, std::string* error) {
  const std::optional<LayoutName> name = parseLayoutName(layoutName);
  if (!name) {
    fail(error,
         "malformed layout \"" + std::string(layoutName) + "\": expected name or name(variant)");
    return std::nullopt;
  }
  LogCapture capture;
  const ContextPtr context = makeContext(capture);
  if (!context) {
    fail(error, "cannot set up xkb to load layout \"" + std::string(layoutName) + "\"");
    return std::nullopt;
  }
  const KeymapPtr keymap = compileKeymap(context.get(), *name);
  if (!keymap) {
    const std::string reason = capture.firstError.empty() ? "" : ": " + capture.firstError;
    fail(error, "xkb cannot build layout \"" + std::string(layoutName) + "\"" + reason);
    return std::nullopt;
  }
  std::optional<KeymapTables> tables = readKeymap(keymap.get());
  if (!tables) {
    fail(error, "xkb cannot track state for layout \"" + std::string(layoutName) + "\"");
    return std::nullopt;
  }
  std::unordered_map<char32_t, KeyStroke> strokes = indexStrokes(tables->characters);
  return XkbLayout(std::string(layoutName), std::move(tables->texts), std::move(strokes));
}

std::string XkbLayout::text(KeyCode key, KeyModifiers modifiers) const {
  if (key >= texts_.size()) {
    return {};
  }
  return texts_[key][combinationIndex(modifiers)];
}

std::optional<KeyStroke> XkbLayout::strokeFor(char32_t character) const {
  const auto found = strokes_.find(character);
  if (found == strokes_.end()) {
    return std::nullopt;
  }
  return found->second;
}

} // namespace quillon
