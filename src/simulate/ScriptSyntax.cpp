#include "simulate/ScriptSyntax.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::size_t maximumEchoedBytes = 200;

} // namespace

std::string toJson(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string toOrderedJson(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string quotedArgument(std::string_view argument) {
  // A cut through the middle of a character leaves a broken sequence, which
  // the replacing dump turns into U+FFFD.
  return toJson(std::string(argument.substr(0, maximumEchoedBytes)));
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t start = text.find_first_not_of(" \t");
  while (start != std::string_view::npos) {
    const std::size_t end = text.find_first_of(" \t", start);
    result.push_back(text.substr(start, end - start));
    start = end == std::string_view::npos ? end : text.find_first_not_of(" \t", end);
  }
  return result;
}

std::optional<bool> parseBool(std::string_view text) {
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> pathInside(const std::filesystem::path& base,
                                                std::string_view relative) {
  const std::filesystem::path path(relative);
  if (path.is_absolute()) {
    return std::nullopt;
  }
  const bool climbsOut = std::any_of(
      path.begin(), path.end(), [](const std::filesystem::path& part) { return part == ".."; });
  if (climbsOut) {
    return std::nullopt;
  }
  return base / path;
}

} // namespace quillon
