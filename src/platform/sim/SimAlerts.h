#pragma once

#include "platform/Alerts.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/UnreadRecord.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Modal alerts as data: each one shown is recorded, and answered by the
// next scripted answer, or else by its default button with its fields as
// they were.
class SimAlerts final : public Alerts {
public:
  static constexpr std::size_t maximumUnreadAlerts = 10'000;

  struct Answer {
    // The button's title; the default button when empty.
    std::string button;
    // Replaces the fields' texts, in order, when given.
    std::optional<std::vector<std::string>> fieldTexts;
  };

  explicit SimAlerts(SimJournal& journal) : journal_(journal) {}

  AlertResponse runModal(const AlertRequest& request) override;

  void scriptAnswer(Answer answer) { answers_.push_back(std::move(answer)); }
  // The alerts shown since the last take, which are then released.
  std::vector<AlertRequest> takeShown() { return shown_.take(); }
  std::vector<AlertRequest> shown() const { return shown_.copy(); }

private:
  SimJournal& journal_;
  std::deque<Answer> answers_;
  UnreadRecord<AlertRequest> shown_{maximumUnreadAlerts};
};

} // namespace quillon
