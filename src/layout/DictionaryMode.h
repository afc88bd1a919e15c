#pragma once

#include "layout/Bigrams.h"
#include "layout/Dictionary.h"

#include <cstddef>
#include <optional>
#include <string>

namespace quillon {

// The word-end judgement that asks both languages' dictionaries before the
// letter-pair rules: a word either dictionary knows is decided by it, and
// only what neither settles (or both claim) goes to the rules.
class DictionaryMode {
public:
  enum class Verdict {
    keep,
    // Whatever the letter-pair rules decide.
    rules,
    // Every key, a trailing "." or "," too, retyped as the other layout's.
    switchWhole,
    // The keys before a trailing "." and "," retyped; those stay as typed.
    switchCore,
  };

  // A finished word as the two layouts read it. "Keys" strings are the
  // characters as the keys type them unshifted, for the lists; the others
  // have the case the user typed, for the dictionaries.
  struct Word {
    bool anyLetter = false;
    bool acronym = false;
    std::string lastKey;
    std::string typed;
    std::string typedWithoutLast;
    // Absent when a key types nothing in the other layout.
    std::optional<std::string> reading;
    std::optional<std::string> readingKeys;
    // Keys before the trailing "." and ",".
    std::size_t coreLength = 0;
    std::string typedCore;
    std::string typedCoreKeys;
    std::optional<std::string> readingCore;
    std::optional<std::string> readingCoreKeys;
  };

  struct Languages {
    Bigrams::Language current;
    Bigrams::Language alternative;
    const Dictionary& currentDictionary;
    const Dictionary& alternativeDictionary;
  };

  static Verdict decide(const Word& word, const Languages& languages);

  // The known-word list of a language, with the technical words on the
  // English side.
  static bool inList(const std::string& keys, Bigrams::Language language);
  static bool inKnownWords(const std::string& keys, Bigrams::Language language);
};

} // namespace quillon
