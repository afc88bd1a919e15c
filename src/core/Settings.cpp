#include "core/Settings.h"

namespace quillon {

namespace {

struct KeyDescription {
  Settings::Key key;
  std::string_view name;
  bool defaultValue;
};

// Declaration order matters to readers of stored domains and to the menu.
constexpr std::array<KeyDescription, Settings::KeyCount> keyDescriptions{{
    {Settings::Key::languageSwitchEnabled, "languageSwitchEnabled", true},
    {Settings::Key::copyKeysEnabled, "copyKeysEnabled", true},
    {Settings::Key::autoEnableOnLaunch, "autoEnableOnLaunch", true},
    {Settings::Key::autoSwitchLayoutEnabled, "autoSwitchLayoutEnabled", true},
    {Settings::Key::sleepBlockerEnabled, "sleepBlockerEnabled", false},
    {Settings::Key::punctuationRemapsEnabled, "punctuationRemapsEnabled", true},
    {Settings::Key::invertMouseWheelEnabled, "invertMouseWheelEnabled", false},
    {Settings::Key::invertTrackpadScrollEnabled, "invertTrackpadScrollEnabled", false},
    {Settings::Key::folderPeekEnabled, "folderPeekEnabled", true},
    {Settings::Key::desktopFolderIconsEnabled, "desktopFolderIconsEnabled", true},
    {Settings::Key::autoSnapMouseDragEnabled, "autoSnapMouseDragEnabled", true},
    {Settings::Key::restoreWindowPositionsEnabled, "restoreWindowPositionsEnabled", false},
    {Settings::Key::oneCDoubleClickToF2Enabled, "oneCDoubleClickToF2Enabled", false},
    {Settings::Key::dictionaryCorrectionEnabled, "dictionaryCorrectionEnabled", false},
}};

const KeyDescription& describe(Settings::Key key) {
  return keyDescriptions[static_cast<std::size_t>(key)];
}

} // namespace

std::string_view Settings::name(Key key) {
  return describe(key).name;
}

bool Settings::defaultValue(Key key) {
  return describe(key).defaultValue;
}

std::optional<Settings::Key> Settings::keyNamed(std::string_view name) {
  for (const KeyDescription& description : keyDescriptions) {
    if (description.name == name) {
      return description.key;
    }
  }
  return std::nullopt;
}

const std::array<Settings::Key, Settings::KeyCount>& Settings::allKeys() {
  static constexpr std::array<Key, KeyCount> keys = [] {
    std::array<Key, KeyCount> result{};
    for (std::size_t index = 0; index < KeyCount; ++index) {
      result[index] = keyDescriptions[index].key;
    }
    return result;
  }();
  return keys;
}

bool Settings::value(Key key) const {
  const auto revision = defaults_.revision();
  if (!revision) {
    return storedValue(key);
  }
  if (revision != knownRevision_) {
    known_.fill(std::nullopt);
    knownRevision_ = revision;
  }
  auto& known = known_[static_cast<std::size_t>(key)];
  if (!known) {
    known = storedValue(key);
  }
  return *known;
}

bool Settings::storedValue(Key key) const {
  const auto stored = defaults_.object(name(key));
  if (!stored) {
    return defaultValue(key);
  }
  return stored->asBool().value_or(defaultValue(key));
}

std::string_view Settings::name(ListKey key) {
  switch (key) {
  case ListKey::autoSwitchExcludedApps:
    return "autoSwitchExcludedApps";
  case ListKey::autoSwitchNeverSwitch:
    return "autoSwitchNeverSwitch";
  }
  return {};
}

std::vector<std::string> Settings::list(ListKey key) const {
  std::vector<std::string> values;
  const auto stored = defaults_.object(name(key));
  const PropertyArray* array = stored ? stored->get<PropertyArray>() : nullptr;
  if (array == nullptr) {
    return values;
  }
  for (const PropertyValue& element : *array) {
    if (auto text = element.asString()) {
      values.push_back(std::move(*text));
    }
  }
  return values;
}

void Settings::setList(const std::vector<std::string>& values, ListKey key) {
  PropertyArray array;
  array.reserve(values.size());
  for (const std::string& value : values) {
    array.emplace_back(value);
  }
  defaults_.set(name(key), std::move(array));
  notifications_.post(ChangedNotification);
}

std::optional<std::string> Settings::dictationCommand() const {
  const auto stored = defaults_.object(DictationCommandKey);
  auto command = stored ? stored->asString() : std::nullopt;
  if (!command || command->find_first_not_of(" \t\n") == std::string::npos) {
    return std::nullopt;
  }
  return command;
}

void Settings::setDictationCommand(const std::string& command) {
  defaults_.set(DictationCommandKey, command);
  notifications_.post(ChangedNotification);
}

void Settings::set(bool value, Key key) {
  defaults_.set(name(key), value);
  notifications_.post(ChangedNotification);
}

} // namespace quillon
