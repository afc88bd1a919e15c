#pragma once

#include "platform/Log.h"
#include "platform/sim/UnreadRecord.h"

#include <string>
#include <vector>

namespace quillon {

// Keeps the lines nobody has read yet so tests and scripts can read what the
// product said, each as the live log would write it.
class SimLog final : public Log {
public:
  // Lines beyond this many unread ones push out the oldest.
  static constexpr std::size_t maximumUnreadLines = 10'000;

  void write(std::string_view line) override;

  // The unread lines, oldest first.
  std::vector<std::string> lines() const { return lines_.copy(); }
  // The unread lines, which are then released.
  std::vector<std::string> takeNewLines() { return lines_.take(); }
  bool contains(std::string_view line) const;

private:
  UnreadRecord<std::string> lines_{maximumUnreadLines};
};

// The order in which the product called notable platform services, so a
// test can check the order of a sequence that spans many services.
class SimJournal {
public:
  // The most recent entries kept; a long run drops the oldest.
  static constexpr std::size_t maximumEntries = 10'000;

  void record(std::string entry) { entries_.push(std::move(entry)); }
  std::vector<std::string> entries() const { return entries_.copy(); }
  void clear() { entries_.clear(); }

private:
  UnreadRecord<std::string> entries_{maximumEntries};
};

} // namespace quillon
