#pragma once

#include "platform/InputSources.h"
#include "platform/KeyCodes.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The identifiers of the English and the Russian keyboard source, by which
// the platform selects them and translates keys in them.
struct EnglishAndRussian {
  std::string en;
  std::string ru;
  friend bool operator==(const EnglishAndRussian&, const EnglishAndRussian&) = default;
};

// Which of the user's enabled sources are the English and the Russian one,
// and what a key types in a source. Every correspondence between the two
// languages comes from the layouts the user has, key by key; nothing is
// remembered between calls, because the user may change layouts at any time
// and both questions are asked on every key press.
class LayoutTranslator {
public:
  using EnglishAndRussian = quillon::EnglishAndRussian;

  explicit LayoutTranslator(const InputSources& sources) : sources_(sources) {}

  // The first enabled, selectable keyboard layout or input mode whose primary
  // language is exactly "en", and likewise "ru"; nothing unless both exist.
  // A regional code such as "en-GB" is a different language here. A source
  // without an identifier can be neither translated through nor selected, so
  // it is passed over and the next one of its language is taken.
  std::optional<EnglishAndRussian> enabledEnglishAndRussian() const;

  // The one user-perceived character the key types in the source with no
  // modifier held. Nothing for a dead key, for a key that types several
  // characters or none, and for a source without a keyboard layout.
  std::optional<std::string> character(KeyCode keyCode, std::string_view sourceIdentifier) const;
  // The same with Shift held: what a key typed with Shift is retyped as.
  std::optional<std::string> shiftedCharacter(KeyCode keyCode,
                                              std::string_view sourceIdentifier) const;

  // Whether `text` is well-formed UTF-8 holding exactly one extended grapheme
  // cluster.
  static bool isOneCharacter(std::string_view text);

  // Keypad keys type the same whatever the language (the decimal key's "."
  // or "," follows the language's number format, not its letters), so they
  // tell nothing about the layout a text was typed in.
  static bool isKeypadKey(KeyCode keyCode);

private:
  std::optional<EnglishAndRussian> searchEnglishAndRussian() const;

  const InputSources& sources_;
  // The last search and the sources' revision it was made at: the search
  // runs on every key.
  mutable std::optional<EnglishAndRussian> foundPair_;
  mutable std::optional<std::uint64_t> foundAtRevision_;
};

} // namespace quillon
