#include "platform/sim/SimInputSources.h"

#include <array>

namespace quillon {

namespace {

struct KnownLayout {
  std::string_view identifier;
  std::string_view xkbSpec;
  std::string_view language;
};

constexpr std::array<KnownLayout, 9> knownLayouts{{
    {"com.apple.keylayout.US", "us", "en"},
    {"com.apple.keylayout.ABC", "us", "en"},
    {"com.apple.keylayout.British", "gb", "en-GB"},
    {"com.apple.keylayout.Russian", "ru(mac)", "ru"},
    {"com.apple.keylayout.RussianWin", "ru", "ru"},
    {"com.apple.keylayout.Russian-Phonetic", "ru(phonetic)", "ru"},
    {"com.apple.keylayout.Ukrainian", "ua", "uk"},
    {"com.apple.keylayout.German", "de", "de"},
    {"com.apple.keylayout.French", "fr", "fr"},
}};

const KnownLayout* findKnown(std::string_view identifier) {
  for (const KnownLayout& known : knownLayouts) {
    if (known.identifier == identifier) {
      return &known;
    }
  }
  return nullptr;
}

bool isKeyboardSource(const InputSourceInfo& info) {
  return info.category == inputsource::CategoryKeyboard && info.enableCapable == true;
}

} // namespace

std::optional<std::string> SimInputSources::xkbSpecFor(std::string_view identifier) {
  if (const KnownLayout* known = findKnown(identifier)) {
    return std::string(known->xkbSpec);
  }
  return std::nullopt;
}

std::optional<InputSourceInfo> SimInputSources::describeKnownLayout(std::string_view identifier) {
  const KnownLayout* known = findKnown(identifier);
  if (known == nullptr) {
    return std::nullopt;
  }
  InputSourceInfo info;
  info.identifier = std::string(known->identifier);
  info.category = std::string(inputsource::CategoryKeyboard);
  info.type = std::string(inputsource::TypeKeyboardLayout);
  info.enableCapable = true;
  info.enabled = true;
  info.selectCapable = true;
  info.languages = {std::string(known->language)};
  return info;
}

void SimInputSources::visitKeyboardSources(bool includeAllInstalled,
                                           const SourceVisitor& visit) const {
  for (const Source& source : sources_) {
    if (!isKeyboardSource(source.info)) {
      continue;
    }
    if (!includeAllInstalled && source.info.enabled == false) {
      continue;
    }
    if (!visit(source.info)) {
      return;
    }
  }
}

std::optional<std::string> SimInputSources::translateKey(std::string_view sourceIdentifier,
                                                         KeyCode keyCode) const {
  const Source* source = find(sourceIdentifier);
  if (source == nullptr || source->layout == nullptr) {
    return std::nullopt;
  }
  return source->layout->text(keyCode, KeyModifiers{});
}

std::optional<std::string> SimInputSources::translateShiftedKey(std::string_view sourceIdentifier,
                                                                KeyCode keyCode) const {
  const Source* source = find(sourceIdentifier);
  if (source == nullptr || source->layout == nullptr) {
    return std::nullopt;
  }
  return source->layout->text(keyCode, KeyModifiers{.shift = true});
}

std::optional<InputSourceInfo> SimInputSources::currentKeyboardSource() const {
  if (!current_) {
    return std::nullopt;
  }
  return sources_[*current_].info;
}

const SimInputSources::Source* SimInputSources::find(std::string_view identifier) const {
  for (const Source& source : sources_) {
    if (source.info.identifier == identifier) {
      return &source;
    }
  }
  return nullptr;
}

bool SimInputSources::select(std::string_view identifier) {
  const Source* source = find(identifier);
  if (source == nullptr || source->info.selectCapable != true || source->info.enabled == false) {
    return false;
  }
  current_ = static_cast<std::size_t>(source - sources_.data());
  journal_.record("select input source " + std::string(identifier));
  return true;
}

bool SimInputSources::setEnabledLayouts(const std::vector<std::string>& identifiers,
                                        std::string* error) {
  std::vector<Source> replacement;
  for (const std::string& identifier : identifiers) {
    const auto info = describeKnownLayout(identifier);
    if (!info) {
      if (error != nullptr) {
        *error = "unknown keyboard layout " + identifier;
      }
      return false;
    }
    std::string layoutError;
    const XkbLayout* layout = layouts_.layout(*xkbSpecFor(identifier), &layoutError);
    if (layout == nullptr) {
      if (error != nullptr) {
        *error = "cannot load keyboard layout " + identifier + ": " + layoutError;
      }
      return false;
    }
    replacement.push_back({*info, layout});
  }
  sources_ = std::move(replacement);
  ++revision_;
  current_.reset();
  if (!sources_.empty()) {
    current_ = 0;
  }
  return true;
}

void SimInputSources::addSource(InputSourceInfo info, std::optional<std::string> xkbSpec) {
  const XkbLayout* layout = xkbSpec ? layouts_.layout(*xkbSpec) : nullptr;
  sources_.push_back({std::move(info), layout});
  ++revision_;
  if (!current_ && sources_.back().info.selectCapable == true) {
    current_ = sources_.size() - 1;
  }
}

const XkbLayout* SimInputSources::currentLayout() const {
  return current_ ? sources_[*current_].layout : nullptr;
}

std::optional<std::string> SimInputSources::currentKeyboardSourceIdentifier() const {
  if (!current_) {
    return std::nullopt;
  }
  return sources_[*current_].info.identifier;
}

} // namespace quillon
