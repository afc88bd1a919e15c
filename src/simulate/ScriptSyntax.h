#pragma once

#include <nlohmann/json.hpp>

#include <charconv>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The small vocabulary every script command reads and prints with.

// Every printed string is a JSON string literal; bytes that are not UTF-8
// print as U+FFFD rather than breaking the line.
std::string toJson(const nlohmann::json& value);
// For objects whose keys should print in the order they were added.
std::string toOrderedJson(const nlohmann::ordered_json& value);

// An argument echoed back in an error line: a JSON string literal of at most
// the first 200 bytes, so a hostile or huge argument cannot break the line
// or flood the output.
std::string quotedArgument(std::string_view argument);

std::string_view trimmed(std::string_view text);
std::vector<std::string_view> words(std::string_view text);
std::optional<bool> parseBool(std::string_view text);
// A path named relative to base that stays inside it: absent for an
// absolute path or one that climbs out with "..".
std::optional<std::filesystem::path> pathInside(const std::filesystem::path& base,
                                                std::string_view relative);

template <typename Number> std::optional<Number> parseNumber(std::string_view text) {
  Number value{};
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

} // namespace quillon
