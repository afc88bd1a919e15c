#include "layout/Bigrams.h"

#include "layout/WordSets.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <string>
#include <string_view>

namespace quillon {
namespace {

using Language = Bigrams::Language;

bool isLowerCase(const std::string& entry) {
  std::string lower;
  icu::UnicodeString::fromUTF8(entry).toLower(icu::Locale::getRoot()).toUTF8String(lower);
  return lower == entry;
}

// Every code point of the entry is in [first, last]: a Latin letter that looks
// like a Cyrillic one (or the reverse) would never match typed text.
bool isWithin(const std::string& entry, UChar32 first, UChar32 last) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(entry);
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const UChar32 c = text.char32At(i);
    if (c < first || c > last) {
      return false;
    }
  }
  return !entry.empty();
}

constexpr UChar32 kCyrillicFirst = 0x400;
constexpr UChar32 kCyrillicLast = 0x4FF;

void expectWellFormed(const StringSet& set, std::size_t count, UChar32 first, UChar32 last) {
  EXPECT_EQ(set.size(), count);
  for (const std::string& entry : set) {
    EXPECT_TRUE(isLowerCase(entry)) << entry;
    EXPECT_TRUE(isWithin(entry, first, last)) << entry;
  }
}

// --- The lists ---------------------------------------------------------------

TEST(BigramsLists, HoldEveryEntryOnceInTheRightScript) {
  expectWellFormed(Bigrams::pairs(Language::english), 192, 'a', 'z');
  expectWellFormed(Bigrams::pairs(Language::russian), 304, kCyrillicFirst, kCyrillicLast);
  expectWellFormed(Bigrams::vowels(Language::english), 6, 'a', 'z');
  expectWellFormed(Bigrams::vowels(Language::russian), 10, kCyrillicFirst, kCyrillicLast);
  EXPECT_TRUE(Bigrams::vowels(Language::russian).contains("ё"));
  EXPECT_TRUE(Bigrams::vowels(Language::english).contains("y"));
}

TEST(WordSets, HoldEveryWordOnceInTheRightScript) {
  expectWellFormed(englishKnownWords(), 79, 'a', 'z');
  expectWellFormed(russianKnownWords(), 163, kCyrillicFirst, kCyrillicLast);
  // Tech words carry digits ("k8s", "f12", "mp3").
  expectWellFormed(englishTechWords(), 442, '0', 'z');
}

TEST(WordSets, AreSearchedByViewWithoutBuildingAString) {
  constexpr std::string_view typed = "the quick";
  EXPECT_TRUE(englishKnownWords().contains(typed.substr(0, 3)));
  EXPECT_FALSE(englishKnownWords().contains(typed.substr(0, 2)));
  EXPECT_TRUE(russianKnownWords().contains(std::string_view("ещё")));
  EXPECT_TRUE(russianKnownWords().contains(std::string_view("еще")));
  EXPECT_TRUE(englishTechWords().contains(std::string_view("k8s")));
  EXPECT_FALSE(englishTechWords().contains(std::string_view("K8S"))) << "callers lower-case";
}

// --- Scores ------------------------------------------------------------------

TEST(BigramsScore, WordsTooShortToHaveAPairScoreNothing) {
  for (const Language language : {Language::english, Language::russian}) {
    EXPECT_EQ(Bigrams::score("", language), 0.0);
    EXPECT_EQ(Bigrams::score("a", language), 0.0);
    EXPECT_EQ(Bigrams::score("я", language), 0.0) << "one character of two bytes";
    EXPECT_EQ(Bigrams::score("e\xCC\x81", language), 0.0) << "one character of two code points";
  }
}

TEST(BigramsScore, PairsCountOnlyWithEnoughVowels) {
  EXPECT_DOUBLE_EQ(Bigrams::score("th", Language::english), 0.3);
  EXPECT_DOUBLE_EQ(Bigrams::score("to", Language::english), 3.5);
  EXPECT_DOUBLE_EQ(Bigrams::score("ст", Language::russian), 0.3);
  // п р и в е т: every pair is common, two vowels in six.
  EXPECT_DOUBLE_EQ(Bigrams::score("привет", Language::russian), 3.0 + 2.0 / 6.0);
  // Consonants only, however common their pairs.
  EXPECT_LE(Bigrams::score("sthngth", Language::english), 0.3);
  EXPECT_LE(Bigrams::score("стрвст", Language::russian), 0.3);
}

TEST(BigramsScore, EachLanguageUsesItsOwnLists) {
  EXPECT_EQ(Bigrams::score("привет", Language::english), 0.0);
  EXPECT_EQ(Bigrams::score("ghbdtn", Language::russian), 0.0);
  EXPECT_GT(Bigrams::score("hello", Language::english), Bigrams::score("hello", Language::russian));
}

// Three vowels in twenty characters, no common pair: 0.15 under the vowel
// formula, 0.0 under the other.
TEST(BigramsScore, FifteenPercentVowelsIsEnough) {
  EXPECT_DOUBLE_EQ(Bigrams::score("aaaxxxxxxxxxxxxxxxxx", Language::english), 0.15);
  EXPECT_EQ(Bigrams::score("aaxxxxxxxxxxxxxxxxxx", Language::english), 0.0);
  EXPECT_DOUBLE_EQ(Bigrams::score("аааъъъъъъъъъъъъъъъъъ", Language::russian), 0.15);
}

TEST(BigramsScore, CaseDoesNotMatter) {
  EXPECT_DOUBLE_EQ(Bigrams::score("TO", Language::english), 3.5);
  EXPECT_DOUBLE_EQ(Bigrams::score("Hello", Language::english),
                   Bigrams::score("hello", Language::english));
  EXPECT_DOUBLE_EQ(Bigrams::score("ПРИВЕТ", Language::russian),
                   Bigrams::score("привет", Language::russian));
  EXPECT_DOUBLE_EQ(Bigrams::score("ЁЖ", Language::russian), 3.5) << "ё is a vowel";
}

TEST(BigramsScore, DigitsAndHyphensAreCharactersThatBreakPairs) {
  // t o - t o: two of four pairs, two vowels in five.
  EXPECT_DOUBLE_EQ(Bigrams::score("to-to", Language::english), 2.0 / 4.0 * 3.0 + 2.0 / 5.0);
  EXPECT_DOUBLE_EQ(Bigrams::score("to2to", Language::english), 2.0 / 4.0 * 3.0 + 2.0 / 5.0);
  EXPECT_DOUBLE_EQ(Bigrams::score("toto", Language::english), 3.0 + 0.5);
  EXPECT_DOUBLE_EQ(Bigrams::score("на-на", Language::russian), 2.0 / 4.0 * 3.0 + 2.0 / 5.0);
}

// Text from another application may spell a letter as base plus mark.
TEST(BigramsScore, CountsUserPerceivedCharactersNotCodePoints) {
  const std::string decomposedYo = "\xD0\xB5\xCC\x88"; // е + combining diaeresis
  EXPECT_DOUBLE_EQ(Bigrams::score(decomposedYo + "ж", Language::russian), 3.5);
  EXPECT_DOUBLE_EQ(Bigrams::score("\xD0\x95\xCC\x88Ж", Language::russian), 3.5) << "upper-case";
  // т with an acute has no composed form: one character that matches nothing,
  // so "т́о" is two characters, one of them a vowel, and no common pair.
  EXPECT_DOUBLE_EQ(Bigrams::score("\xD1\x82\xCC\x81о", Language::russian), 0.5);
  // İ lower-cases to i plus a dot above, which is not the vowel i.
  EXPECT_DOUBLE_EQ(Bigrams::score("\xC4\xB0t", Language::english), 0.0);
}

TEST(BigramsScore, MalformedTextIsScoredNotTrusted) {
  EXPECT_DOUBLE_EQ(Bigrams::score("t\xFFo", Language::english), 0.0 * 3.0 + 1.0 / 3.0);
  EXPECT_EQ(Bigrams::score("\xD0", Language::russian), 0.0);
}

} // namespace
} // namespace quillon
