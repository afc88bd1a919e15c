#pragma once

#include "layout/Bigrams.h"
#include "layout/Dictionary.h"
#include "platform/Log.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The English and the Russian dictionary, read on a thread of their own the
// first time they are wanted, so the key that asks never waits for the disk.
// Until both are in (and for good if either cannot be read) there is no
// dictionary, and the caller judges by its rules alone. Used on one thread;
// only the reading runs elsewhere.
class WordDictionaries {
public:
  static constexpr std::string_view englishFile = "en_US.marisa";
  static constexpr std::string_view russianFile = "ru_RU.marisa";

  // The first folder that holds the English dictionary is read; with none,
  // the first folder, whose failure then names the file looked for.
  WordDictionaries(std::vector<std::filesystem::path> folders, Log& log);
  WordDictionaries(const WordDictionaries&) = delete;
  WordDictionaries& operator=(const WordDictionaries&) = delete;
  // Waits for a reading under way: it writes into this object.
  ~WordDictionaries();

  // Beside the running program: share/quillon in the build tree, and
  // ../share/quillon for an installed one.
  static std::vector<std::filesystem::path> besideExecutable();

  // Where to look, for a reading not started yet.
  void lookIn(std::vector<std::filesystem::path> folders);
  // Starts reading unless already started; never blocks.
  void load();
  // The language's dictionary once both are read; nothing before, or after
  // a failure.
  const Dictionary* dictionary(Bigrams::Language language);
  // Blocks until a reading started has finished; true when both were read.
  bool waitUntilLoaded();

  struct Loaded {
    std::optional<Dictionary> english;
    std::optional<Dictionary> russian;
    std::string problem;
    std::chrono::microseconds took{};
  };

private:
  void adopt();

  std::vector<std::filesystem::path> folders_;
  Log& log_;
  std::future<Loaded> reading_;
  std::optional<Loaded> loaded_;
};

} // namespace quillon
