// How much the dictionaries add to layout correction, on running text: every
// word of a text is typed in its own layout (it should be left alone) and on
// the other layout's keys (it should come back), through the whole product on
// the simulated desktop, once by the letter-pair rules alone and once with
// the dictionaries. Then what the dictionaries cost: reading them, memory,
// and the time a word end takes.
//
// Usage: dictionary_mode_report [--limit N] [--misses] ENGLISH_TEXT RUSSIAN_TEXT
// --misses lists each word not corrected or switched by mistake on stderr.
// bench/make_corpora.sh writes the texts from Debian's packaged documentation
// and catalogues; report on its "report" set, never on the one looked at
// while working on the rules.
#include "ResidentMemory.h"
#include "app/AppDelegate.h"
#include "layout/WordDictionaries.h"
#include "platform/sim/SimDesktop.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view US = "com.apple.keylayout.US";
constexpr std::string_view Russian = "com.apple.keylayout.Russian";

struct Language {
  std::string name;
  std::string layout;
  std::string ownSource;
  std::string otherSource;
  std::vector<std::string> words;
};

struct Outcome {
  std::size_t typed = 0;
  std::size_t corrected = 0;
  std::size_t wronglySwitched = 0;
  std::vector<double> wordEndMicroseconds;
};

bool inScript(UChar32 codePoint, bool cyrillic) {
  if (cyrillic) {
    return (codePoint >= 0x410 && codePoint <= 0x44F) || codePoint == 0x401 || codePoint == 0x451;
  }
  return (codePoint >= 'a' && codePoint <= 'z') || (codePoint >= 'A' && codePoint <= 'Z');
}

// A word of one script as it stands in the text, capitals kept; inner
// hyphens allowed, anything else (digits, apostrophes, other scripts) not.
bool isTextWord(const std::string& word, bool cyrillic) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(word);
  if (text.length() == 0 || text.char32At(0) == '-' || text.char32At(text.length() - 1) == '-') {
    return false;
  }
  for (int32_t index = 0; index < text.length(); index = text.moveIndex32(index, 1)) {
    const UChar32 codePoint = text.char32At(index);
    if (codePoint != '-' && !inScript(codePoint, cyrillic)) {
      return false;
    }
  }
  return true;
}

// Tokens between spaces with the punctuation around them taken off; with a
// limit, an even sample through the text.
std::vector<std::string> readText(const std::string& path, bool cyrillic, std::size_t limit) {
  std::ifstream file(path);
  if (!file) {
    std::cerr << "cannot read " << path << '\n';
    std::exit(1);
  }
  std::vector<std::string> words;
  std::string token;
  const std::string around = "\"'()[]{}<>.,;:!?*`_«»“”„";
  while (file >> token) {
    const auto begin = token.find_first_not_of(around);
    const auto end = token.find_last_not_of(around);
    if (begin == std::string::npos) {
      continue;
    }
    std::string word = token.substr(begin, end - begin + 1);
    if (isTextWord(word, cyrillic)) {
      words.push_back(std::move(word));
    }
  }
  if (limit == 0 || words.size() <= limit) {
    return words;
  }
  std::vector<std::string> sample;
  for (std::size_t index = 0; index < limit; ++index) {
    sample.push_back(words[index * words.size() / limit]);
  }
  return sample;
}

class Report {
public:
  Report(bool dictionaries, bool showMisses) : showMisses_(showMisses) {
    desktop_.application().run(app_);
    if (dictionaries) {
      app_.settings().set(true, Settings::Key::dictionaryCorrectionEnabled);
      auto& loader = app_.eventTap()->autoSwitcher().dictionaries();
      loader.load();
      if (!loader.waitUntilLoaded()) {
        std::cerr << "the dictionaries could not be read\n";
        std::exit(1);
      }
    }
  }

  Outcome run(const Language& language) {
    Outcome outcome;
    if (showMisses_) {
      std::cerr << "== " << language.name << '\n';
    }
    for (const std::string& word : language.words) {
      ++outcome.typed;
      const std::string kept = typeWord(language, word, language.ownSource, outcome);
      if (kept != word + " ") {
        ++outcome.wronglySwitched;
        miss("switched", kept);
      }
      const std::string back = typeWord(language, word, language.otherSource, outcome);
      if (back == word + " ") {
        ++outcome.corrected;
      } else {
        miss("missed", back);
      }
    }
    return outcome;
  }

private:
  void miss(const char* what, const std::string& text) const {
    if (showMisses_) {
      std::cerr << what << '\t' << text << '\n';
    }
  }

  std::string typeWord(const Language& language, const std::string& word, const std::string& source,
                       Outcome& outcome) {
    desktop_.inputSources().select(source);
    desktop_.textField().clear();
    desktop_.advance(Duration(5));
    if (desktop_.typist().type(language.layout, word)) {
      return {};
    }
    // The word end alone, through the tap: the judgement, with the
    // simulated keyboard's own work on top.
    const auto start = std::chrono::steady_clock::now();
    if (desktop_.typist().type(language.layout, " ")) {
      return {};
    }
    outcome.wordEndMicroseconds.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    desktop_.advance(Duration(1));
    return desktop_.textField().text();
  }

  bool showMisses_;
  SimDesktop desktop_;
  AppDelegate app_{desktop_.platform()};
};

double percent(std::size_t part, std::size_t whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

double median(std::vector<double> values) {
  if (values.empty()) {
    return 0.0;
  }
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

class SilentLog final : public Log {
public:
  void write(std::string_view) override {}
};

// Read in a fresh process state, before anything else is loaded, so the
// memory it adds is its own.
void reportLoading() {
  SilentLog log;
  const bench::Resident before = bench::residentMemory("self");
  WordDictionaries dictionaries(WordDictionaries::besideExecutable(), log);
  const auto start = std::chrono::steady_clock::now();
  dictionaries.load();
  const auto returned = std::chrono::steady_clock::now();
  if (!dictionaries.waitUntilLoaded()) {
    std::cerr << "the dictionaries could not be read beside this program\n";
    std::exit(1);
  }
  const auto loaded = std::chrono::steady_clock::now();
  const bench::Resident after = bench::residentMemory("self");
  const auto ms = [](auto duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
  };
  std::printf("loading: %.1f ms on its own thread (the caller waited %.3f ms)\n",
              ms(loaded - start), ms(returned - start));
  std::printf("resident memory added: %s (tries %.1f MB)\n",
              bench::megabytes(after.total - before.total).c_str(),
              static_cast<double>(dictionaries.dictionary(Bigrams::Language::english)->size() +
                                  dictionaries.dictionary(Bigrams::Language::russian)->size()) /
                  1048576.0);
}

} // namespace
} // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::size_t limit = 0;
  bool showMisses = false;
  std::vector<std::string> paths;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--limit" && index + 1 < argc) {
      limit = std::stoul(argv[++index]);
    } else if (argument == "--misses") {
      showMisses = true;
    } else {
      paths.push_back(argument);
    }
  }
  if (paths.size() != 2) {
    std::cerr << "usage: dictionary_mode_report [--limit N] ENGLISH_TEXT RUSSIAN_TEXT\n";
    return 2;
  }
  reportLoading();
  const std::vector<Language> languages{
      {"English", "us", std::string(US), std::string(Russian), readText(paths[0], false, limit)},
      {"Russian", "ru(mac)", std::string(Russian), std::string(US),
       readText(paths[1], true, limit)},
  };
  std::printf("%-8s %-12s %8s %11s %17s %15s\n", "language", "mode", "words", "corrected",
              "false switches", "word end (med)");
  for (const bool dictionaries : {false, true}) {
    if (showMisses) {
      std::cerr << "== " << (dictionaries ? "dictionaries" : "rules") << '\n';
    }
    Report report(dictionaries, showMisses);
    for (const Language& language : languages) {
      const Outcome outcome = report.run(language);
      std::printf("%-8s %-12s %8zu %10.2f%% %16.2f%% %12.1f µs\n", language.name.c_str(),
                  dictionaries ? "dictionaries" : "rules", outcome.typed,
                  percent(outcome.corrected, outcome.typed),
                  percent(outcome.wronglySwitched, outcome.typed),
                  median(outcome.wordEndMicroseconds));
    }
  }
  return 0;
}
