// Reading Debian's word lists for the programs in bench/: wamerican's
// /usr/share/dict/american-english (one word a line) and hunspell-ru's
// /usr/share/hunspell/ru_RU.dic (an entry count, then WORD/FLAGS lines).
#pragma once

#include <unicode/unistr.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace quillon::bench {

inline constexpr const char* EnglishWordsPath = "/usr/share/dict/american-english";
inline constexpr const char* RussianWordsPath = "/usr/share/hunspell/ru_RU.dic";

// Lower-case words of one script only; proper nouns, abbreviations and
// words with apostrophes are left out, as nobody types them to be corrected.
inline bool isPlainWord(const std::string& word, UChar32 first, UChar32 last, UChar32 extra) {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(word);
  if (unicode.length() < 1) {
    return false;
  }
  for (int32_t index = 0; index < unicode.length(); ++index) {
    const UChar32 codePoint = unicode.char32At(index);
    if ((codePoint < first || codePoint > last) && codePoint != extra) {
      return false;
    }
  }
  return true;
}

// The plain words of a list; with a limit, an even sample across the
// alphabet, the same on every run.
inline std::vector<std::string> readWords(const std::string& path, bool hunspell, UChar32 first,
                                          UChar32 last, UChar32 extra, std::size_t limit = 0) {
  std::ifstream file(path);
  if (!file) {
    std::cerr << "cannot read " << path << '\n';
    return {};
  }
  std::vector<std::string> all;
  std::string line;
  bool firstLine = true;
  while (std::getline(file, line)) {
    if (hunspell && firstLine) {
      firstLine = false; // the entry count
      continue;
    }
    std::string word = line.substr(0, line.find('/'));
    if (isPlainWord(word, first, last, extra)) {
      all.push_back(std::move(word));
    }
  }
  if (limit == 0 || all.size() <= limit) {
    return all;
  }
  std::vector<std::string> sample;
  const double step = static_cast<double>(all.size()) / static_cast<double>(limit);
  for (std::size_t index = 0; index < limit; ++index) {
    sample.push_back(all[static_cast<std::size_t>(static_cast<double>(index) * step)]);
  }
  return sample;
}

inline std::vector<std::string> readEnglishWords(const std::string& path = EnglishWordsPath,
                                                 std::size_t limit = 0) {
  return readWords(path, false, 'a', 'z', 'a', limit);
}

inline std::vector<std::string> readRussianWords(const std::string& path = RussianWordsPath,
                                                 std::size_t limit = 0) {
  return readWords(path, true, 0x0430, 0x044F, 0x0451, limit);
}

} // namespace quillon::bench
