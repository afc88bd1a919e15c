#pragma once

#include "layout/LayoutTranslator.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace quillon {

// Converts finished text between the English and the Russian layout, where
// the keys that typed it are no longer known: character by character through
// maps built from the two layouts.
class SelectionConverter {
public:
  enum class Direction {
    enToRu,    // the text is English and is to become Russian
    ruToEn,    // the text is Russian and is to become English
    undecided, // empty, or too mixed to tell
  };

  using CharMap = std::unordered_map<std::string, std::string>;

  // Lower-case characters to lower-case characters, each one user-perceived
  // character as UTF-8.
  struct CharMaps {
    CharMap enToRu;
    CharMap ruToEn;
  };

  // What each key from 0 to 127 types unmodified in one layout against the
  // other. Keys that type nothing in either layout are left out; when several
  // keys type the same character, the lowest key code wins in each map on its
  // own. Built fresh each time: the layouts may have changed since.
  static CharMaps buildCharMaps(const LayoutTranslator& translator, std::string_view en,
                                std::string_view ru);

  // Decided by ASCII letters against basic Cyrillic letters: one script alone
  // wins, and in a mix the larger count must exceed three times the smaller.
  static Direction detectDirection(std::string_view text);

  // Every character through the map, keeping its case: an upper-case
  // character is looked up by its lower-case form and the result upper-cased.
  // Characters the map does not know stay as they are, so the result has as
  // many characters as the text.
  static std::string transliterate(std::string_view text, const CharMap& map);
};

} // namespace quillon
