#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace marisa {
class Trie;
}

namespace quillon {

// Every word form one language's dictionary accepts, as a read-only trie,
// and the judgement of whether a typed string is a word of that language.
class Dictionary {
public:
  // The dictionary, or why it could not be read.
  static std::variant<Dictionary, std::string> open(const std::filesystem::path& file);

  Dictionary(Dictionary&&) noexcept;
  Dictionary& operator=(Dictionary&&) noexcept;
  ~Dictionary();

  // The string exactly as stored.
  bool containsForm(std::string_view form) const;
  // A word with hunspell's case rules: a Capitalised string may be a
  // lower-case word at the start of a sentence, an ALL-CAPS one any form.
  // Hyphens around it are dashes, not part of the word; between words each
  // part must be a word. Fewer than two letters is never a word: a single
  // key proves nothing about the layout.
  bool isWord(std::string_view text) const;
  // Bytes the trie holds in memory.
  std::size_t size() const;

private:
  explicit Dictionary(std::unique_ptr<marisa::Trie> trie);
  bool containsAnyCase(std::string_view text) const;

  std::unique_ptr<marisa::Trie> trie_;
};

} // namespace quillon
