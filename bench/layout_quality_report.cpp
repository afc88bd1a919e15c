// How well layout correction does on real vocabularies: every word of a
// dictionary is typed once in its own layout (it should be left alone) and
// once on the other layout's keys (it should be corrected), through the
// whole product on the simulated desktop. Prints one line per language.
//
// Usage: layout_quality_report [--limit N] [ENGLISH_WORDS [RUSSIAN_DIC]]
// Defaults: /usr/share/dict/american-english (Debian's wamerican) and
// /usr/share/hunspell/ru_RU.dic (Debian's hunspell-ru).
#include "WordLists.h"
#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <cstdio>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view US = "com.apple.keylayout.US";
constexpr std::string_view Russian = "com.apple.keylayout.Russian";

struct Language {
  std::string name;
  std::string layout;      // xkb layout whose keys type the word
  std::string ownSource;   // the input source the word belongs to
  std::string otherSource; // the one it is mistyped on
  std::vector<std::string> words;
};

struct Outcome {
  std::size_t typed = 0;
  std::size_t corrected = 0;
  std::size_t wronglySwitched = 0;
};

class Report {
public:
  Report() { desktop_.application().run(app_); }

  Outcome run(const Language& language) {
    Outcome outcome;
    for (const std::string& word : language.words) {
      ++outcome.typed;
      // In its own layout: must be left alone.
      if (typeWord(language, word, language.ownSource) != word + " ") {
        ++outcome.wronglySwitched;
      }
      // On the other layout's keys: must come back as the word.
      if (typeWord(language, word, language.otherSource) == word + " ") {
        ++outcome.corrected;
      }
    }
    return outcome;
  }

private:
  std::string typeWord(const Language& language, const std::string& word,
                       const std::string& source) {
    desktop_.inputSources().select(source);
    desktop_.textField().clear();
    // A pause first, as between words, so no word runs into the next.
    desktop_.advance(Duration(5));
    if (desktop_.typist().type(language.layout, word + " ")) {
      return {};
    }
    desktop_.advance(Duration(1));
    return desktop_.textField().text();
  }

  SimDesktop desktop_;
  AppDelegate app_{desktop_.platform()};
};

double percent(std::size_t part, std::size_t whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

} // namespace
} // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::size_t limit = 0;
  std::vector<std::string> paths;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--limit" && index + 1 < argc) {
      limit = std::stoul(argv[++index]);
    } else {
      paths.push_back(argument);
    }
  }
  const std::string englishPath = paths.size() > 0 ? paths[0] : bench::EnglishWordsPath;
  const std::string russianPath = paths.size() > 1 ? paths[1] : bench::RussianWordsPath;

  std::vector<Language> languages{
      {"English", "us", std::string(US), std::string(Russian),
       bench::readEnglishWords(englishPath, limit)},
      {"Russian", "ru(mac)", std::string(Russian), std::string(US),
       bench::readRussianWords(russianPath, limit)},
  };
  Report report;
  std::printf("%-8s %8s %12s %16s\n", "language", "words", "corrected", "wrongly switched");
  for (const Language& language : languages) {
    const Outcome outcome = report.run(language);
    std::printf("%-8s %8zu %11.2f%% %15.2f%%\n", language.name.c_str(), outcome.typed,
                percent(outcome.corrected, outcome.typed),
                percent(outcome.wronglySwitched, outcome.typed));
  }
  return 0;
}
