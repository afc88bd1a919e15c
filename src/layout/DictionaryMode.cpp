#include "layout/DictionaryMode.h"

#include "layout/WordSets.h"

namespace quillon {

namespace {

// A short word is too often a word of both languages for the dictionaries
// to overrule the lists.
constexpr std::size_t shortCore = 2;
// An acronym of this many letters may still be a word in capitals.
constexpr std::size_t shortestCapitalisedWord = 3;

} // namespace

bool DictionaryMode::inKnownWords(const std::string& keys, Bigrams::Language language) {
  return language == Bigrams::Language::english ? englishKnownWords().contains(keys)
                                                : russianKnownWords().contains(keys);
}

bool DictionaryMode::inList(const std::string& keys, Bigrams::Language language) {
  return inKnownWords(keys, language) ||
         (language == Bigrams::Language::english && englishTechWords().contains(keys));
}

DictionaryMode::Verdict DictionaryMode::decide(const Word& word, const Languages& languages) {
  if (!word.anyLetter) {
    return Verdict::keep;
  }
  const Dictionary& current = languages.currentDictionary;
  const Dictionary& other = languages.alternativeDictionary;

  // "," and "." are letters of the Russian layout: the whole word may be one.
  if ((word.lastKey == "," || word.lastKey == ".") && word.reading) {
    if (inList(*word.readingKeys, languages.alternative)) {
      return Verdict::rules;
    }
    if (other.isWord(*word.reading) && !current.isWord(word.typedWithoutLast)) {
      return Verdict::switchWhole;
    }
  }
  // An abbreviation such as "e.g." ends in its own period.
  if (word.lastKey == "." && current.isWord(word.typed)) {
    return Verdict::keep;
  }

  if (word.coreLength == 0 || !word.readingCore) {
    return Verdict::keep;
  }
  // A single key is left to the known-word lists further down: by the
  // rules the technical word "c" would keep every Russian "с" typed on the
  // English layout.
  if (word.coreLength > 1 && word.coreLength <= shortCore &&
      (inList(word.typedCoreKeys, languages.current) ||
       inList(*word.readingCoreKeys, languages.alternative))) {
    return Verdict::rules;
  }
  const bool currentWord = current.isWord(word.typedCore);
  const bool otherWord = other.isWord(*word.readingCore);
  if (currentWord && otherWord) {
    return Verdict::rules;
  }
  if (currentWord) {
    return Verdict::keep;
  }
  if (otherWord) {
    return word.acronym && word.coreLength < shortestCapitalisedWord ? Verdict::keep
                                                                     : Verdict::switchCore;
  }
  // One key proves nothing by its letters: only the lists may move it.
  if (word.coreLength == 1) {
    return !inKnownWords(word.typedCoreKeys, languages.current) &&
                   inKnownWords(*word.readingCoreKeys, languages.alternative)
               ? Verdict::switchCore
               : Verdict::keep;
  }
  return Verdict::rules;
}

} // namespace quillon
