#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace quillon {

// Hashes any string-like key the same way, so a set of std::string can be
// searched with a std::string_view on the key path without building a string.
struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

using StringSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

// Words that are never corrected when typed in their own language and that
// trigger a correction when the other layout's reading of the keys is one of
// them. All entries are lower-case.
const StringSet& englishKnownWords();
const StringSet& russianKnownWords();

// File types, keys, commands, products and interface words that are English
// even though a letter-pair score would not think so ("k8s", "nginx").
const StringSet& englishTechWords();

} // namespace quillon
