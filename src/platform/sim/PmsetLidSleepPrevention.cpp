#include "platform/sim/PmsetLidSleepPrevention.h"

#include "text/Unicode.h"

#include <charconv>
#include <vector>

namespace quillon {

namespace {

constexpr std::string_view logPrefix = "Quillon SleepBlocker: ";
constexpr std::string_view sleepDisabledWord = "sleepdisabled";
constexpr std::string_view disableSleepWord = "disablesleep";
constexpr std::string_view spacesAndTabs = " \t";

// Undecodable output reads as no output at all.
std::string_view decodedOrEmpty(const std::string& bytes) {
  return decodeUtf8(bytes) ? std::string_view(bytes) : std::string_view{};
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string asciiLowercased(std::string_view text) {
  std::string lowered(text);
  for (char& character : lowered) {
    if (character >= 'A' && character <= 'Z') {
      character = static_cast<char>(character - 'A' + 'a');
    }
  }
  return lowered;
}

std::vector<std::string_view> piecesOf(std::string_view line) {
  std::vector<std::string_view> pieces;
  while (!line.empty()) {
    const std::size_t start = line.find_first_not_of(spacesAndTabs);
    if (start == std::string_view::npos) {
      break;
    }
    line.remove_prefix(start);
    const std::size_t end = line.find_first_of(spacesAndTabs);
    pieces.push_back(line.substr(0, end));
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
  }
  return pieces;
}

// An optional sign and decimal digits, nothing else, within range.
std::optional<long long> decimalInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') {
      return std::nullopt;
    }
  }
  long long value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<long long> sleepDisabledValueOfLine(std::string_view rawLine) {
  const std::string line = asciiLowercased(trimmed(rawLine, spacesAndTabs));
  if (!line.starts_with(sleepDisabledWord) && !line.starts_with(disableSleepWord)) {
    return std::nullopt;
  }
  const std::vector<std::string_view> pieces = piecesOf(line);
  if (pieces.size() < 2) {
    return std::nullopt;
  }
  return decimalInteger(pieces[1]);
}

} // namespace

std::string PmsetLidSleepPrevention::disableSleepScript(bool on) {
  return std::string("do shell script \"/usr/bin/pmset -b disablesleep ") + (on ? "1" : "0") +
         "\" with administrator privileges";
}

std::optional<long long> PmsetLidSleepPrevention::parseSleepDisabled(std::string_view pmsetOutput) {
  while (!pmsetOutput.empty()) {
    const std::size_t end = pmsetOutput.find('\n');
    const std::string_view line = pmsetOutput.substr(0, end);
    pmsetOutput.remove_prefix(end == std::string_view::npos ? pmsetOutput.size() : end + 1);
    if (const auto value = sleepDisabledValueOfLine(line)) {
      return value;
    }
  }
  return std::nullopt;
}

bool PmsetLidSleepPrevention::preventLidSleep(bool on) {
  const std::string value = on ? "1" : "0";
  const SpawnResult started = processes_.spawn(
      {std::string(Osascript), {"-e", disableSleepScript(on)}, true, true, nullptr});
  if (!started.process) {
    log_.write(std::string(logPrefix) + "failed to spawn osascript: " + started.error);
    return false;
  }
  const std::optional<int> status = started.process->waitForExit();
  if (status == 0) {
    return true;
  }
  const std::string errorOutput = started.process->capturedError();
  log_.write(std::string(logPrefix) + "pmset disablesleep " + value +
             " failed (status=" + (status ? std::to_string(*status) : "killed") +
             "): " + std::string(trimmed(decodedOrEmpty(errorOutput), " \t\r\n")));
  return false;
}

bool PmsetLidSleepPrevention::isPreventingLidSleep() {
  const SpawnResult started = processes_.spawn({std::string(Pmset), {"-g"}, true, true, nullptr});
  if (!started.process) {
    log_.write(std::string(logPrefix) + "failed to run pmset -g: " + started.error);
    return false;
  }
  started.process->waitForExit();
  const std::string output = started.process->capturedOutput();
  if (const auto value = parseSleepDisabled(decodedOrEmpty(output))) {
    log_.write(std::string(logPrefix) + "parsed pmset sleep-disabled = " + std::to_string(*value));
    return *value != 0;
  }
  log_.write(std::string(logPrefix) + "no SleepDisabled line in pmset -g output — treating as 0");
  return false;
}

void PmsetLidSleepPrevention::turnDisplayOffNow() {
  const SpawnResult started =
      processes_.spawn({std::string(Pmset), {"displaysleepnow"}, true, true, nullptr});
  if (!started.process) {
    log_.write(std::string(logPrefix) + "pmset displaysleepnow failed to spawn: " + started.error);
  }
}

} // namespace quillon
