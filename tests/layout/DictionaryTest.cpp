#include "layout/Dictionary.h"

#include "layout/WordDictionaries.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

class RecordingLog final : public Log {
public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

// The dictionaries the build expanded, beside the test program.
class DictionaryTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    loader = std::make_unique<WordDictionaries>(WordDictionaries::besideExecutable(), log);
    loader->load();
    ASSERT_TRUE(loader->waitUntilLoaded());
  }
  static void TearDownTestSuite() { loader.reset(); }
  const Dictionary& english() { return *loader->dictionary(Bigrams::Language::english); }
  const Dictionary& russian() { return *loader->dictionary(Bigrams::Language::russian); }

  static inline RecordingLog log;
  static inline std::unique_ptr<WordDictionaries> loader;
};

TEST_F(DictionaryTest, CaseFollowsHunspell) {
  // A lower-case word at the start of a sentence or in capitals.
  EXPECT_TRUE(russian().isWord("привет"));
  EXPECT_TRUE(russian().isWord("Привет"));
  EXPECT_TRUE(russian().isWord("ПРИВЕТ"));
  EXPECT_FALSE(russian().isWord("пРИВЕТ"));
  // A name stays capitalised, but may be written in capitals.
  EXPECT_TRUE(russian().isWord("Москва"));
  EXPECT_TRUE(russian().isWord("МОСКВА"));
  EXPECT_FALSE(russian().isWord("москва"));
  EXPECT_TRUE(english().isWord("London"));
  EXPECT_FALSE(english().isWord("london"));
  // Every form the affixes make, Russian ones included that unmunch loses
  // when it reads the dictionary as UTF-8.
  EXPECT_TRUE(english().isWord("bugs"));
  EXPECT_TRUE(russian().isWord("люблю"));
  EXPECT_TRUE(russian().isWord("Борис"));
  EXPECT_TRUE(english().isWord("e.g."));
}

TEST_F(DictionaryTest, HyphensAndShortStrings) {
  EXPECT_TRUE(english().isWord("-hello-"));
  EXPECT_TRUE(russian().isWord("кто-то"));
  EXPECT_TRUE(english().isWord("well-known"));
  EXPECT_TRUE(english().isWord("cat-dog"));
  EXPECT_FALSE(english().isWord("cat-xqzt"));
  EXPECT_FALSE(english().isWord("cat--dog"));
  // One letter is never a word, however many hyphens surround it.
  EXPECT_FALSE(english().isWord("a"));
  EXPECT_FALSE(english().isWord("-a-"));
  EXPECT_FALSE(english().isWord("---"));
  EXPECT_FALSE(english().isWord(""));
  EXPECT_TRUE(english().isWord("an"));
  // Malformed text is not a word and does no harm.
  EXPECT_FALSE(english().isWord("\xff\xfe"));
}

TEST(DictionaryFileTest, UnreadableFilesAreRefusedWithTheReason) {
  const auto folder = std::filesystem::temp_directory_path() / "quillon-dictionary-test";
  std::filesystem::create_directories(folder);
  const auto broken = folder / "broken.marisa";
  std::ofstream(broken) << "not a trie";
  const auto result = Dictionary::open(broken);
  ASSERT_TRUE(std::holds_alternative<std::string>(result));
  EXPECT_EQ(std::get<std::string>(result), "not a word trie: " + broken.string());

  // A folder with the English file but a broken Russian one: neither is used.
  std::filesystem::copy_file(WordDictionaries::besideExecutable().front() / "en_US.marisa",
                             folder / "en_US.marisa",
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(broken, folder / "ru_RU.marisa",
                             std::filesystem::copy_options::overwrite_existing);
  RecordingLog log;
  WordDictionaries dictionaries({folder}, log);
  dictionaries.load();
  EXPECT_FALSE(dictionaries.waitUntilLoaded());
  EXPECT_EQ(dictionaries.dictionary(Bigrams::Language::english), nullptr);
  EXPECT_EQ(log.lines,
            std::vector<std::string>{"Quillon autoswitch: dictionaries not loaded (not a "
                                     "word trie: " +
                                     (folder / "ru_RU.marisa").string() +
                                     ") — correcting by the rules alone"});
  std::filesystem::remove_all(folder);
}

} // namespace
} // namespace quillon
