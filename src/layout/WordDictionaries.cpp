#include "layout/WordDictionaries.h"

#include <system_error>

namespace quillon {

namespace {

std::filesystem::path chooseFolder(const std::vector<std::filesystem::path>& folders) {
  for (const auto& folder : folders) {
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / WordDictionaries::englishFile, error)) {
      return folder;
    }
  }
  return folders.empty() ? std::filesystem::path() : folders.front();
}

WordDictionaries::Loaded readBoth(const std::filesystem::path& folder) {
  const auto start = std::chrono::steady_clock::now();
  WordDictionaries::Loaded loaded;
  auto english = Dictionary::open(folder / WordDictionaries::englishFile);
  auto russian = Dictionary::open(folder / WordDictionaries::russianFile);
  if (const auto* englishProblem = std::get_if<std::string>(&english)) {
    loaded.problem = *englishProblem;
  } else if (const auto* russianProblem = std::get_if<std::string>(&russian)) {
    loaded.problem = *russianProblem;
  } else {
    loaded.english = std::move(std::get<Dictionary>(english));
    loaded.russian = std::move(std::get<Dictionary>(russian));
  }
  loaded.took = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  return loaded;
}

} // namespace

WordDictionaries::WordDictionaries(std::vector<std::filesystem::path> folders, Log& log)
    : folders_(std::move(folders)), log_(log) {}

WordDictionaries::~WordDictionaries() {
  if (reading_.valid()) {
    reading_.wait();
  }
}

std::vector<std::filesystem::path> WordDictionaries::besideExecutable() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return {};
  }
  const auto folder = executable.parent_path();
  return {folder / "share" / "quillon", folder.parent_path() / "share" / "quillon"};
}

void WordDictionaries::lookIn(std::vector<std::filesystem::path> folders) {
  if (!reading_.valid() && !loaded_) {
    folders_ = std::move(folders);
  }
}

void WordDictionaries::load() {
  if (reading_.valid() || loaded_) {
    return;
  }
  reading_ = std::async(std::launch::async, readBoth, chooseFolder(folders_));
}

void WordDictionaries::adopt() {
  loaded_ = reading_.get();
  if (!loaded_->english) {
    log_.write("Quillon autoswitch: dictionaries not loaded (" + loaded_->problem +
               ") — correcting by the rules alone");
    return;
  }
  log_.write("Quillon autoswitch: dictionaries loaded in " +
             std::to_string(loaded_->took.count() / 1000) + " ms");
}

const Dictionary* WordDictionaries::dictionary(Bigrams::Language language) {
  if (reading_.valid() && reading_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    adopt();
  }
  if (!loaded_ || !loaded_->english) {
    return nullptr;
  }
  return language == Bigrams::Language::english ? &*loaded_->english : &*loaded_->russian;
}

bool WordDictionaries::waitUntilLoaded() {
  if (reading_.valid()) {
    reading_.wait();
    adopt();
  }
  return loaded_ && loaded_->english;
}

} // namespace quillon
