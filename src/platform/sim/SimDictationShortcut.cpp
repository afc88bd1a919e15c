#include "platform/sim/SimDictationShortcut.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Processes.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace quillon {

namespace dictationshortcut {

namespace {

constexpr std::int64_t lowestKeyCode = 1;
constexpr std::int64_t highestKeyCode = 65534;
constexpr std::size_t parameterCount = 3;

// A stored number of either kind, whole or not; booleans are no numbers here.
std::optional<double> number(const PropertyValue& value) {
  if (const auto integer = value.asInteger()) {
    return static_cast<double>(*integer);
  }
  if (const auto real = value.asReal(); real && std::isfinite(*real)) {
    return *real;
  }
  return std::nullopt;
}

const PropertyValue* member(const PropertyValue& dictionary, std::string_view name) {
  const PropertyDictionary* members = dictionary.get<PropertyDictionary>();
  if (members == nullptr) {
    return nullptr;
  }
  const auto found = members->find(name);
  return found == members->end() ? nullptr : &found->second;
}

} // namespace

std::optional<Shortcut> configured(const PropertyValue& hotkeys) {
  const PropertyValue* dictation = member(hotkeys, entry);
  if (dictation == nullptr) {
    return std::nullopt;
  }
  const PropertyValue* enabled = member(*dictation, "enabled");
  if (enabled == nullptr || enabled->asBool() != true) {
    return std::nullopt;
  }
  const PropertyValue* value = member(*dictation, "value");
  const PropertyValue* parameters = value ? member(*value, "parameters") : nullptr;
  const PropertyArray* list = parameters ? parameters->get<PropertyArray>() : nullptr;
  if (list == nullptr || list->size() < parameterCount) {
    return std::nullopt;
  }
  for (const PropertyValue& parameter : *list) {
    if (!number(parameter)) {
      return std::nullopt;
    }
  }
  const double keyCode = *number((*list)[1]);
  const double flags = *number((*list)[2]);
  // A negative or oversized mask names no modifiers at all.
  if (keyCode < lowestKeyCode || keyCode >= highestKeyCode + 1 || flags < 0 ||
      flags >= static_cast<double>(std::numeric_limits<std::uint64_t>::max())) {
    return std::nullopt;
  }
  return Shortcut{static_cast<std::int64_t>(keyCode), static_cast<std::uint64_t>(flags)};
}

} // namespace dictationshortcut

void SimDictationShortcut::ensureShortcut() {
  namespace shortcut = dictationshortcut;
  const auto stored = defaults_.object(shortcut::domain, shortcut::key);
  PropertyDictionary hotkeys;
  if (stored) {
    const PropertyDictionary* dictionary = stored->get<PropertyDictionary>();
    if (dictionary == nullptr) {
      // Writing an empty dictionary over it would throw away every other
      // system shortcut it may still hold for the system's own reader.
      log_.write("Quillon dictation: AppleSymbolicHotKeys is not a dictionary — leaving it "
                 "untouched, no shortcut installed");
      return;
    }
    hotkeys = *dictionary;
    if (const auto configured = shortcut::configured(*stored)) {
      std::ostringstream line;
      line << "Quillon dictation: shortcut already configured (keyCode=" << configured->keyCode
           << ", mods=0x" << std::hex << configured->flags << ") — leaving as-is";
      log_.write(line.str());
      return;
    }
  }
  hotkeys[std::string(shortcut::entry)] = PropertyDictionary{
      {"enabled", true},
      {"value", PropertyDictionary{
                    {"parameters", PropertyArray{defaultCharacter, defaultKeyCode, defaultFlags}},
                    {"type", "standard"},
                }}};
  if (defaults_.set(shortcut::domain, shortcut::key, std::move(hotkeys))) {
    log_.write("Quillon dictation: installed default shortcut ⌃⌥⌘D into entry #164");
  } else {
    log_.write("Quillon dictation: could not store the default shortcut ⌃⌥⌘D in entry #164");
  }
  activateSettings();
}

// Started and left to run: nothing waits for the system to reread its
// shortcuts.
void SimDictationShortcut::activateSettings() {
  const SpawnResult result = processes_.spawn({std::string(settingsTool), {"-u"}});
  if (!result.process) {
    log_.write("Quillon dictation: activateSettings -u failed: " + result.error);
  }
}

} // namespace quillon
