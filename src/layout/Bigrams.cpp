#include "layout/Bigrams.h"

#include "text/Unicode.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace quillon {
namespace {

constexpr std::array<std::string_view, 192> kEnglishPairs{
    "th", "he", "in", "er", "an", "re", "on", "at", "en", "nd", "ti", "es", "or", "te", "of", "ed",
    "is", "it", "al", "ar", "st", "to", "nt", "ng", "se", "ha", "as", "ou", "io", "le", "ve", "co",
    "me", "de", "hi", "ri", "ro", "ic", "ne", "ea", "ra", "ce", "li", "ch", "ll", "be", "ma", "si",
    "om", "ur", "ca", "el", "ta", "la", "ns", "di", "fo", "ho", "pe", "ec", "pr", "no", "ct", "us",
    "ac", "ot", "il", "tr", "ly", "nc", "et", "ut", "ss", "so", "rs", "un", "lo", "wa", "ge", "ie",
    "ck", "wi", "wh", "ee", "em", "ad", "ol", "rt", "po", "we", "ay", "ex", "id", "im", "do", "go",
    "if", "ev", "ow", "ai", "av", "ab", "ag", "ap", "ba", "bo", "by", "ds", "ef", "ey", "fa", "fi",
    "fr", "fu", "ga", "gi", "gh", "gr", "ig", "iv", "ke", "ki", "ld", "mi", "mo", "mp", "ms", "my",
    "na", "nu", "ny", "ob", "od", "ok", "op", "os", "ff", "ni", "ik", "af", "ka", "ko", "kn", "ks",
    "lf", "lk", "lm", "lp", "ls", "lt", "rf", "rb", "rc", "rp", "rv", "yp", "zo", "iz", "oa", "ov",
    "pa", "pi", "pl", "pu", "rd", "rg", "rk", "rl", "rm", "rn", "ru", "ry", "sc", "sh", "sl", "sm",
    "sn", "sp", "su", "sw", "ts", "tu", "tw", "ud", "ug", "uk", "um", "up", "vi", "wo", "yo", "ze",
};

// Three Russian entries have three letters. They can never match a pair of
// characters, but the list is kept as the language data was collected.
constexpr std::array<std::string_view, 304> kRussianPairs{
    "ст", "но", "то", "на", "ен", "ов", "ни", "ра", "во",  "ко", "не", "ва", "ос", "от", "по",
    "пр", "ли", "ет", "ор", "ес", "об", "ро", "ан", "го",  "та", "ре", "са", "де", "ом", "ка",
    "ри", "ит", "ти", "мо", "ил", "ле", "ав", "до", "ел",  "ин", "ис", "ас", "ам", "че", "ач",
    "ат", "ия", "ож", "ло", "ну", "ой", "за", "из", "ме",  "ир", "лу", "ши", "бо", "пе", "ум",
    "ть", "ту", "со", "ма", "ье", "вы", "ез", "сь", "жи",  "су", "ча", "па", "бе", "сл", "ег",
    "од", "пи", "вс", "ыл", "тв", "тр", "ск", "сс", "ии",  "ий", "ым", "ых", "ое", "ее", "ую",
    "ая", "юю", "ог", "оз", "ои", "ок", "ол", "оп", "оч",  "пы", "рк", "рн", "рт", "ря", "сн",
    "сп", "ср", "те", "тя", "уд", "уж", "уз", "ук", "ул",  "ун", "ур", "ус", "ут", "уч", "ход",
    "хо", "це", "ци", "чи", "чт", "ша", "шк", "ще", "юб",  "юр", "ют", "ющ", "юс", "юч", "ява",
    "яв", "яд", "як", "ял", "ям", "ян", "ят", "ящ", "ве",  "ви", "вн", "вр", "вт", "га", "ге",
    "ги", "гл", "гн", "гр", "дв", "дн", "дя", "ев", "жд",  "жа", "же", "зд", "зн", "зо", "кл",
    "кн", "кр", "лн", "лы", "мн", "нд", "нс", "нт", "ня",  "пл", "пу", "нк", "кт", "лг", "лк",
    "рг", "бр", "вд", "вз", "гд", "зв", "лд", "лс", "лст", "мс", "мч", "нг", "пн", "пт", "пх",
    "сш", "сы", "тк", "тм", "тн", "уе", "уи", "уй", "цв",  "чн", "шн", "ыв", "ью", "юд", "юж",
    "ыш", "шь", "бь", "нь", "рь", "дь", "пь", "вь", "мь",  "зь", "жь", "чь", "щь", "ся", "тс",
    "ла", "да", "ля", "вя", "мя", "ер", "бу", "фе", "фо",  "фи", "фа", "уф", "ке", "ки", "цы",
    "ём", "ёт", "ёл", "ёр", "ёж", "ёш", "ёс", "ьн", "ьм",  "ьс", "ьт", "ьш", "ьч", "ха", "хе",
    "хи", "ху", "эт", "эк", "эл", "эм", "эс", "ыр", "ыс",  "ыб", "ыг", "ыд", "еб", "еж", "еп",
    "еш", "ещ", "ек", "ми", "се", "ку", "ду", "мы", "бы",  "ты", "ив", "иг", "ид", "иж", "ик",
    "им", "ип", "иу", "иц", "оф", "ох", "оц", "ош", "ад",  "аж", "ак", "ал", "ап", "ау", "уб",
    "уг", "уп", "юп", "юг",
};

constexpr std::array<std::string_view, 6> kEnglishVowels{"a", "e", "i", "o", "u", "y"};
constexpr std::array<std::string_view, 10> kRussianVowels{"а", "е", "и", "о", "у",
                                                          "ы", "э", "ю", "я", "ё"};

// Below this share of vowels a word is implausible whatever its pairs.
constexpr double kMinimumVowelRatio = 0.15;
constexpr double kPairWeight = 3.0;
constexpr double kPairWeightWithoutVowels = 0.3;

template <std::size_t N> StringSet makeSet(const std::array<std::string_view, N>& entries) {
  StringSet set;
  set.reserve(N);
  for (const std::string_view entry : entries) {
    set.emplace(entry);
  }
  return set;
}

// Every list entry is made of characters of one code point each, so a word's
// characters are compared as code points: a pair is two of them in one
// integer, and a character of several code points (a letter with a mark that
// has no composed form) matches nothing.
constexpr UChar32 kMatchesNothing = -1;

std::uint64_t pairKey(UChar32 first, UChar32 second) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32U) |
         static_cast<std::uint32_t>(second);
}

std::vector<UChar32> codePoints(std::string_view text) {
  std::vector<UChar32> decoded;
  for (int32_t offset = 0; static_cast<std::size_t>(offset) < text.size();) {
    decoded.push_back(nextCodePoint(text, offset));
  }
  return decoded;
}

struct Tables {
  std::unordered_set<std::uint64_t> pairs;
  std::vector<UChar32> vowels;
};

// Entries that are not two characters (three Russian ones) cannot match a pair
// of adjacent characters, so they have no integer form.
Tables makeTables(const StringSet& pairs, const StringSet& vowels) {
  Tables tables;
  for (const std::string& pair : pairs) {
    if (const std::vector<UChar32> decoded = codePoints(pair); decoded.size() == 2) {
      tables.pairs.insert(pairKey(decoded[0], decoded[1]));
    }
  }
  for (const std::string& vowel : vowels) {
    if (const std::vector<UChar32> decoded = codePoints(vowel); decoded.size() == 1) {
      tables.vowels.push_back(decoded[0]);
    }
  }
  return tables;
}

const Tables& tables(Bigrams::Language language) {
  using Language = Bigrams::Language;
  static const Tables english =
      makeTables(Bigrams::pairs(Language::english), Bigrams::vowels(Language::english));
  static const Tables russian =
      makeTables(Bigrams::pairs(Language::russian), Bigrams::vowels(Language::russian));
  return language == Language::english ? english : russian;
}

// Counts a word given character by character, in order.
class Tally {
public:
  explicit Tally(const Tables& tables) : tables_(&tables) {}

  void add(UChar32 character) {
    if (character != kMatchesNothing) {
      if (std::find(tables_->vowels.begin(), tables_->vowels.end(), character) !=
          tables_->vowels.end()) {
        ++vowels_;
      }
      if (previous_ != kMatchesNothing && tables_->pairs.contains(pairKey(previous_, character))) {
        ++hits_;
      }
    }
    previous_ = character;
    ++characters_;
  }

  double score() const {
    if (characters_ < 2) {
      return 0.0;
    }
    const double pairRatio = static_cast<double>(hits_) / static_cast<double>(characters_ - 1);
    const double vowelRatio = static_cast<double>(vowels_) / static_cast<double>(characters_);
    if (vowelRatio >= kMinimumVowelRatio) {
      return pairRatio * kPairWeight + vowelRatio;
    }
    return pairRatio * kPairWeightWithoutVowels;
  }

private:
  const Tables* tables_;
  std::size_t characters_ = 0;
  std::size_t vowels_ = 0;
  std::size_t hits_ = 0;
  UChar32 previous_ = kMatchesNothing;
};

// ASCII and the Cyrillic letters have no special casing, no marks and no
// sequences that join into one character: each code point is a character and
// lower-cases on its own. Keyboard words in either language are made of them,
// and they need no copy of the word.
bool isPlainCodePoint(UChar32 codePoint) {
  return (codePoint >= 0 && codePoint < 0x80 && codePoint != '\r') ||
         (codePoint >= 0x400 && codePoint <= 0x482) || (codePoint >= 0x48A && codePoint <= 0x4FF);
}

bool isPlainWord(std::string_view word) {
  for (int32_t offset = 0; static_cast<std::size_t>(offset) < word.size();) {
    if (!isPlainCodePoint(nextCodePoint(word, offset))) {
      return false;
    }
  }
  return true;
}

void tallyPlainWord(std::string_view word, Tally& tally) {
  for (int32_t offset = 0; static_cast<std::size_t>(offset) < word.size();) {
    tally.add(u_tolower(nextCodePoint(word, offset)));
  }
}

// Full lower-casing, then canonical composition: a decomposed "й" or "ё" is
// the same letter as the composed one in the lists. ICU keeps short strings in
// the object itself, so a short word costs no allocation.
icu::UnicodeString lowerCasedComposed(std::string_view word) {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(word);
  text.toLower(icu::Locale::getRoot());
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_SUCCESS(status) && nfc->spanQuickCheckYes(text, status) < text.length()) {
    icu::UnicodeString composed = nfc->normalize(text, status);
    if (U_SUCCESS(status)) {
      text = std::move(composed);
    }
  }
  return text;
}

// Whether a code point belongs to the character before it. This covers the
// marks and joiners of real text; Hangul syllable sequences, flags and
// prepended marks count as several characters, which is not worth a break
// iterator per word on the key path: none of them is in any list.
bool extendsCharacter(UChar32 previous, UChar32 codePoint) {
  if (previous == '\r') {
    return codePoint == '\n';
  }
  const auto breakClass = static_cast<UGraphemeClusterBreak>(
      u_getIntPropertyValue(codePoint, UCHAR_GRAPHEME_CLUSTER_BREAK));
  if (breakClass == U_GCB_EXTEND || breakClass == U_GCB_SPACING_MARK || breakClass == U_GCB_ZWJ) {
    return true;
  }
  return previous == 0x200D && u_hasBinaryProperty(codePoint, UCHAR_EXTENDED_PICTOGRAPHIC);
}

void tallyAnyWord(std::string_view word, Tally& tally) {
  const icu::UnicodeString text = lowerCasedComposed(word);
  const int32_t length = text.length();
  for (int32_t offset = 0; offset < length;) {
    UChar32 character = text.char32At(offset);
    UChar32 previous = character;
    offset = text.moveIndex32(offset, 1);
    while (offset < length && extendsCharacter(previous, text.char32At(offset))) {
      previous = text.char32At(offset);
      character = kMatchesNothing;
      offset = text.moveIndex32(offset, 1);
    }
    tally.add(character);
  }
}

} // namespace

const StringSet& Bigrams::pairs(Language language) {
  static const StringSet english = makeSet(kEnglishPairs);
  static const StringSet russian = makeSet(kRussianPairs);
  return language == Language::english ? english : russian;
}

const StringSet& Bigrams::vowels(Language language) {
  static const StringSet english = makeSet(kEnglishVowels);
  static const StringSet russian = makeSet(kRussianVowels);
  return language == Language::english ? english : russian;
}

double Bigrams::score(std::string_view word, Language language) {
  Tally tally(tables(language));
  if (isPlainWord(word)) {
    tallyPlainWord(word, tally);
  } else {
    tallyAnyWord(word, tally);
  }
  return tally.score();
}

} // namespace quillon
