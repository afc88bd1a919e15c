#pragma once

#include "layout/WordSets.h"

#include <string_view>

namespace quillon {

// A cheap plausibility score of a word in English or Russian: how many of its
// adjacent letter pairs are common in the language, and whether it has enough
// vowels to be a word at all. The auto-switch engine compares the score of the
// word as typed with that of the same keys read in the other layout.
class Bigrams {
public:
  enum class Language { english, russian };

  // Between 0.0 and 4.0. Counts user-perceived characters after full
  // lower-casing, so case and the encoding of accented letters do not matter;
  // every character counts, letters or not.
  static double score(std::string_view word, Language language);

  // The common letter pairs and the vowels of the language, lower-case.
  static const StringSet& pairs(Language language);
  static const StringSet& vowels(Language language);
};

} // namespace quillon
