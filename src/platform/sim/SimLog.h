#pragma once

#include "platform/Log.h"

#include <string>
#include <vector>

namespace quillon {

// Keeps every line so tests and scripts can read what the product said.
class SimLog final : public Log {
public:
  void write(std::string_view line) override { lines_.emplace_back(line); }

  const std::vector<std::string>& lines() const { return lines_; }
  // The lines written since the previous call.
  std::vector<std::string> takeNewLines();
  bool contains(std::string_view line) const;

private:
  std::vector<std::string> lines_;
  std::size_t readUpTo_ = 0;
};

// The order in which the product called notable platform services, so a
// test can check the order of a sequence that spans many services.
class SimJournal {
public:
  void record(std::string entry) { entries_.push_back(std::move(entry)); }
  const std::vector<std::string>& entries() const { return entries_; }
  void clear() { entries_.clear(); }

private:
  std::vector<std::string> entries_;
};

} // namespace quillon
