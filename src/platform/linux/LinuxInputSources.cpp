#include "platform/linux/LinuxInputSources.h"

#include "platform/linux/XkbRegistry.h"
#include "platform/xkb/KeyCodeTable.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <sstream>

namespace quillon {

namespace {

struct RulesNames {
  std::vector<std::string> layouts;
  std::vector<std::string> variants;
};

std::vector<std::string> splitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) {
    parts.push_back(part);
  }
  return parts;
}

// The root property holds rules, model, layouts, variants and options as
// consecutive NUL-terminated strings.
RulesNames readRulesNames(X11Connection& connection) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  RulesNames names;
  if (XGetWindowProperty(connection.display(), connection.root(),
                         connection.atom("_XKB_RULES_NAMES"), 0, 1024, False, XA_STRING, &type,
                         &format, &count, &after, &data) != Success ||
      data == nullptr) {
    return names;
  }
  std::vector<std::string> fields;
  std::string field;
  for (unsigned long index = 0; index < count; ++index) {
    if (data[index] == '\0') {
      fields.push_back(field);
      field.clear();
    } else {
      field += static_cast<char>(data[index]);
    }
  }
  fields.push_back(field);
  XFree(data);
  if (fields.size() > 2) {
    names.layouts = splitOn(fields[2], ',');
  }
  if (fields.size() > 3) {
    names.variants = splitOn(fields[3], ',');
  }
  return names;
}

// "us(intl)" as layout and variant.
XkbLayoutName splitVariant(const std::string& entry) {
  const auto open = entry.find('(');
  if (open == std::string::npos || entry.back() != ')') {
    return {entry, ""};
  }
  return {entry.substr(0, open), entry.substr(open + 1, entry.size() - open - 2)};
}

// The keymap's symbols name ("pc+us+ru:2+inet(evdev)") names every group:
// the first layout after "pc" is group 1, and the others carry their group
// number. Options such as "inet(evdev)" carry none and come after it.
std::vector<XkbLayoutName> layoutsFromSymbols(const std::string& symbols) {
  std::vector<XkbLayoutName> layouts;
  for (const std::string& entry : splitOn(symbols, '+')) {
    const auto colon = entry.find(':');
    if (colon == std::string::npos) {
      if (layouts.empty() && entry != "pc" && !entry.empty()) {
        layouts.push_back(splitVariant(entry));
      }
      continue;
    }
    const int group = std::atoi(entry.c_str() + colon + 1);
    if (group < 2 || group > 4) {
      continue;
    }
    layouts.resize(std::max<std::size_t>(layouts.size(), static_cast<std::size_t>(group)));
    layouts[static_cast<std::size_t>(group - 1)] = splitVariant(entry.substr(0, colon));
  }
  return layouts;
}

std::string symbolsName(Display* display) {
  XkbDescPtr keyboard = XkbAllocKeyboard();
  if (keyboard == nullptr) {
    return {};
  }
  keyboard->device_spec = XkbUseCoreKbd;
  std::string name;
  if (XkbGetNames(display, XkbSymbolsNameMask, keyboard) == Success && keyboard->names != nullptr &&
      keyboard->names->symbols != None) {
    char* text = XGetAtomName(display, keyboard->names->symbols);
    if (text != nullptr) {
      name = text;
      XFree(text);
    }
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return name;
}

// The session's layouts from its rules names; where a tool changed the
// keymap without updating them (setxkbmap on some servers), from the
// keymap's own symbols name.
std::vector<XkbLayoutName> sessionLayouts(X11Connection& connection, std::size_t groupCount) {
  const RulesNames names = readRulesNames(connection);
  if (names.layouts.size() == groupCount) {
    std::vector<XkbLayoutName> layouts;
    for (std::size_t index = 0; index < groupCount; ++index) {
      layouts.push_back(
          {names.layouts[index], index < names.variants.size() ? names.variants[index] : ""});
    }
    return layouts;
  }
  return layoutsFromSymbols(symbolsName(connection.display()));
}

constexpr bool isControl(char32_t character) {
  return character < 0x20 || character == 0x7F;
}

std::string printable(xkb_state* state, std::uint32_t keycode) {
  std::array<char, 64> buffer{};
  xkb_state_key_get_utf8(state, keycode, buffer.data(), buffer.size());
  const std::string text(buffer.data());
  if (text.empty() || isControl(static_cast<unsigned char>(text.front()))) {
    return {};
  }
  return text;
}

xkb_state* stateForGroup(xkb_keymap* keymap, std::size_t group, bool shift) {
  xkb_state* state = xkb_state_new(keymap);
  const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
  const xkb_mod_mask_t depressed =
      shift && shiftIndex != XKB_MOD_INVALID ? (xkb_mod_mask_t{1} << shiftIndex) : 0;
  xkb_state_update_mask(state, depressed, 0, 0, 0, 0, static_cast<xkb_layout_index_t>(group));
  return state;
}

// Every character the group types with one key, Shift or not; the first key
// in virtual key order wins, keypad keys never.
std::unordered_map<char32_t, LinuxInputSources::Stroke> strokesOf(xkb_state* plain,
                                                                  xkb_state* shifted) {
  std::unordered_map<char32_t, LinuxInputSources::Stroke> strokes;
  for (const bool shift : {false, true}) {
    for (const KeyCodeMapping& mapping : keyCodeMappings()) {
      if (mapping.keypad) {
        continue;
      }
      const char32_t character =
          xkb_state_key_get_utf32(shift ? shifted : plain, mapping.xkbKeycode);
      if (character != 0 && !isControl(character)) {
        strokes.try_emplace(character, LinuxInputSources::Stroke{mapping.xkbKeycode, shift});
      }
    }
  }
  return strokes;
}

} // namespace

LinuxInputSources::LinuxInputSources(X11Connection& connection, Log& log, bool desktopRelocksGroup)
    : connection_(connection), log_(log), desktopRelocksGroup_(desktopRelocksGroup),
      context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
  Display* display = connection_.display();
  XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
  XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                        XkbGroupStateMask);
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
  if (desktopRelocksGroup_) {
    log_.write("Quillon: this desktop undoes keyboard layout locks, so corrected text is typed "
               "without switching the layout");
  }
  reload();
}

LinuxInputSources::~LinuxInputSources() {
  releaseKeymap();
  xkb_context_unref(context_);
}

void LinuxInputSources::releaseKeymap() {
  for (Group& group : groups_) {
    xkb_state_unref(group.plain);
    xkb_state_unref(group.shifted);
  }
  groups_.clear();
  xkb_keymap_unref(keymap_);
  keymap_ = nullptr;
}

void LinuxInputSources::reload() {
  releaseKeymap();
  xcb_connection_t* xcb = XGetXCBConnection(connection_.display());
  if (!xkb_x11_setup_xkb_extension(
          xcb, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
    log_.write("Quillon: cannot read the keyboard layouts of this X server");
    return;
  }
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(xcb);
  keymap_ = xkb_x11_keymap_new_from_device(context_, xcb, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap_ == nullptr) {
    log_.write("Quillon: cannot read the keyboard layouts of this X server");
    return;
  }
  const xkb_layout_index_t count = xkb_keymap_num_layouts(keymap_);
  const std::vector<XkbLayoutName> names = sessionLayouts(connection_, count);
  std::string registryError;
  const auto languages = registryLanguages(names, registryError);
  if (!registryError.empty()) {
    log_.write("Quillon: the languages of the keyboard layouts are unknown: " + registryError);
  }
  for (xkb_layout_index_t index = 0; index < count; ++index) {
    const std::string layout = index < names.size() ? names[index].layout : "";
    const std::string variant = index < names.size() ? names[index].variant : "";
    Group group;
    group.info.identifier = identifierFor(layout.empty() ? "unknown" : layout, variant);
    group.info.category = std::string(inputsource::CategoryKeyboard);
    group.info.type = std::string(inputsource::TypeKeyboardLayout);
    group.info.enableCapable = true;
    group.info.enabled = true;
    group.info.selectCapable = true;
    if (const auto language = index < languages.size() ? languages[index] : std::nullopt) {
      group.info.languages.push_back(twoLetterLanguage(*language));
    }
    group.plain = stateForGroup(keymap_, index, false);
    group.shifted = stateForGroup(keymap_, index, true);
    group.strokes = strokesOf(group.plain, group.shifted);
    groups_.push_back(std::move(group));
  }
  XkbStateRec state;
  if (XkbGetState(connection_.display(), XkbUseCoreKbd, &state) == Success) {
    currentGroup_ = state.group;
  }
  reportUnpairedLayouts();
}

void LinuxInputSources::reportUnpairedLayouts() {
  std::string layouts;
  bool english = false;
  bool russian = false;
  for (const Group& group : groups_) {
    if (!layouts.empty()) {
      layouts += ',';
    }
    layouts += group.info.identifier.value_or("");
    const std::string language = group.info.languages.empty() ? "" : group.info.languages.front();
    english = english || language == "en";
    russian = russian || language == "ru";
  }
  if ((english && russian) || layouts == reportedLayouts_) {
    return;
  }
  reportedLayouts_ = layouts;
  log_.write("Quillon: layout correction stays idle: it needs an English and a Russian keyboard "
             "layout, and this session has " +
             layouts);
}

void LinuxInputSources::onEvent(XEvent& event) {
  if (event.type != connection_.xkbEventBase()) {
    return;
  }
  const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
  if (xkbEvent.any.xkb_type == XkbStateNotify) {
    currentGroup_ = static_cast<std::size_t>(xkbEvent.state.group);
  } else if (xkbEvent.any.xkb_type == XkbNewKeyboardNotify) {
    reload();
  }
}

std::string LinuxInputSources::identifierFor(std::string_view layout, std::string_view variant) {
  if (variant.empty() && layout == "us") {
    return "com.apple.keylayout.US";
  }
  if (variant.empty() && layout == "ru") {
    return "com.apple.keylayout.Russian";
  }
  // Appended piece by piece: GCC 12 at -O3 reports a false overlap in
  // "literal" + std::string.
  std::string identifier = "xkb:";
  identifier += layout;
  if (!variant.empty()) {
    identifier += '(';
    identifier += variant;
    identifier += ')';
  }
  return identifier;
}

std::string LinuxInputSources::twoLetterLanguage(std::string_view iso639) {
  static const std::map<std::string_view, std::string_view> twoLetter{
      {"eng", "en"}, {"rus", "ru"}, {"deu", "de"}, {"ger", "de"}, {"fra", "fr"}, {"fre", "fr"},
      {"ukr", "uk"}, {"bel", "be"}, {"spa", "es"}, {"ita", "it"}, {"por", "pt"}, {"pol", "pl"},
      {"ces", "cs"}, {"cze", "cs"}, {"nld", "nl"}, {"dut", "nl"}, {"swe", "sv"}, {"fin", "fi"},
      {"kaz", "kk"}, {"tur", "tr"}, {"ell", "el"}, {"gre", "el"}, {"heb", "he"}, {"ara", "ar"}};
  const auto found = twoLetter.find(iso639);
  return std::string(found == twoLetter.end() ? iso639 : found->second);
}

void LinuxInputSources::visitKeyboardSources(bool, const SourceVisitor& visit) const {
  for (const Group& group : groups_) {
    if (!visit(group.info)) {
      return;
    }
  }
}

std::optional<InputSourceInfo> LinuxInputSources::currentKeyboardSource() const {
  if (currentGroup_ >= groups_.size()) {
    return std::nullopt;
  }
  return groups_[currentGroup_].info;
}

std::optional<std::string> LinuxInputSources::currentKeyboardSourceIdentifier() const {
  if (currentGroup_ >= groups_.size()) {
    return std::nullopt;
  }
  return groups_[currentGroup_].info.identifier;
}

std::optional<std::size_t> LinuxInputSources::groupIndex(std::string_view identifier) const {
  for (std::size_t index = 0; index < groups_.size(); ++index) {
    if (groups_[index].info.identifier == identifier) {
      return index;
    }
  }
  return std::nullopt;
}

bool LinuxInputSources::select(std::string_view identifier) {
  const auto index = groupIndex(identifier);
  // Where the desktop takes its own group back at once, locking another one
  // would only make the following text arrive in the wrong layout.
  if (!index || desktopRelocksGroup_) {
    return false;
  }
  XkbLockGroup(connection_.display(), XkbUseCoreKbd, static_cast<unsigned>(*index));
  XFlush(connection_.display());
  // Taken as current now: text typed next must use the new group's keys, and
  // the server applies the lock before any key sent after it.
  currentGroup_ = *index;
  return true;
}

std::optional<std::string> LinuxInputSources::translate(std::string_view identifier,
                                                        KeyCode keyCode, bool shift) const {
  const auto index = groupIndex(identifier);
  const auto keycode = xkbKeycodeFor(keyCode);
  if (!index || !keycode) {
    return std::nullopt;
  }
  const Group& group = groups_[*index];
  return printable(shift ? group.shifted : group.plain, *keycode);
}

std::optional<std::string> LinuxInputSources::translateKey(std::string_view sourceIdentifier,
                                                           KeyCode keyCode) const {
  return translate(sourceIdentifier, keyCode, false);
}

std::optional<std::string> LinuxInputSources::translateShiftedKey(std::string_view sourceIdentifier,
                                                                  KeyCode keyCode) const {
  return translate(sourceIdentifier, keyCode, true);
}

std::optional<LinuxInputSources::Stroke> LinuxInputSources::strokeFor(char32_t character) const {
  if (currentGroup_ >= groups_.size()) {
    return std::nullopt;
  }
  const auto& strokes = groups_[currentGroup_].strokes;
  const auto found = strokes.find(character);
  if (found == strokes.end()) {
    return std::nullopt;
  }
  return found->second;
}

} // namespace quillon
