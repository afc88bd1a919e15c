#include "layout/Dictionary.h"

#include "text/Unicode.h"

#include <unicode/uchar.h>

#include <fstream>
#include <marisa.h>

namespace quillon {

namespace {

enum class Casing { lower, capitalised, allCaps, mixed };

Casing casingOf(std::string_view text) {
  std::size_t upper = 0;
  std::size_t lower = 0;
  bool firstUpper = false;
  bool first = true;
  int32_t offset = 0;
  while (offset < static_cast<int32_t>(text.size())) {
    const UChar32 codePoint = nextCodePoint(text, offset);
    if (codePoint >= 0 && u_isUUppercase(codePoint)) {
      ++upper;
      firstUpper = firstUpper || first;
    } else if (codePoint >= 0 && u_isULowercase(codePoint)) {
      ++lower;
    }
    first = false;
  }
  if (upper == 0) {
    return Casing::lower;
  }
  if (lower == 0) {
    return Casing::allCaps;
  }
  return upper == 1 && firstUpper ? Casing::capitalised : Casing::mixed;
}

std::size_t letterCount(std::string_view text) {
  std::size_t letters = 0;
  int32_t offset = 0;
  while (offset < static_cast<int32_t>(text.size())) {
    const UChar32 codePoint = nextCodePoint(text, offset);
    if (codePoint >= 0 && u_hasBinaryProperty(codePoint, UCHAR_ALPHABETIC) != 0) {
      ++letters;
    }
  }
  return letters;
}

std::string capitalised(std::string_view lower) {
  int32_t offset = 0;
  nextCodePoint(lower, offset);
  const auto split = static_cast<std::size_t>(offset);
  return uppercased(lower.substr(0, split)) + std::string(lower.substr(split));
}

} // namespace

Dictionary::Dictionary(std::unique_ptr<marisa::Trie> trie) : trie_(std::move(trie)) {}
Dictionary::Dictionary(Dictionary&&) noexcept = default;
Dictionary& Dictionary::operator=(Dictionary&&) noexcept = default;
Dictionary::~Dictionary() = default;

std::variant<Dictionary, std::string> Dictionary::open(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    return "cannot open " + file.string();
  }
  auto trie = std::make_unique<marisa::Trie>();
  try {
    marisa::read(stream, trie.get());
  } catch (const marisa::Exception&) {
    return "not a word trie: " + file.string();
  }
  if (trie->num_keys() == 0) {
    return "no words in " + file.string();
  }
  return Dictionary(std::move(trie));
}

std::size_t Dictionary::size() const {
  return trie_->io_size();
}

bool Dictionary::containsForm(std::string_view form) const {
  if (form.empty()) {
    return false;
  }
  marisa::Agent agent;
  agent.set_query(form.data(), form.size());
  return trie_->lookup(agent);
}

bool Dictionary::containsAnyCase(std::string_view text) const {
  if (containsForm(text)) {
    return true;
  }
  switch (casingOf(text)) {
  case Casing::capitalised:
    return containsForm(lowercased(text));
  case Casing::allCaps: {
    const std::string lower = lowercased(text);
    return containsForm(lower) || containsForm(capitalised(lower));
  }
  case Casing::lower:
  case Casing::mixed:
    break;
  }
  return false;
}

bool Dictionary::isWord(std::string_view text) const {
  const auto begin = text.find_first_not_of('-');
  if (begin == std::string_view::npos) {
    return false;
  }
  text = text.substr(begin, text.find_last_not_of('-') - begin + 1);
  if (letterCount(text) < 2) {
    return false;
  }
  if (containsAnyCase(text)) {
    return true;
  }
  if (text.find('-') == std::string_view::npos) {
    return false;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find('-', start), text.size());
    if (!containsAnyCase(text.substr(start, end - start))) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

} // namespace quillon
