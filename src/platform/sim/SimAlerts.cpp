#include "platform/sim/SimAlerts.h"

#include <algorithm>

namespace quillon {

AlertResponse SimAlerts::runModal(const AlertRequest& request) {
  journal_.record("alert " + request.messageText);
  shown_.push(request);
  AlertResponse response;
  for (const AlertField& field : request.fields) {
    response.fieldTexts.push_back(field.text);
  }
  if (answers_.empty()) {
    return response;
  }
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  const auto button = std::find(request.buttons.begin(), request.buttons.end(), answer.button);
  if (!answer.button.empty() && button != request.buttons.end()) {
    response.button = static_cast<std::size_t>(button - request.buttons.begin());
  }
  if (answer.fieldTexts) {
    for (std::size_t index = 0; index < response.fieldTexts.size(); ++index) {
      if (index < answer.fieldTexts->size()) {
        response.fieldTexts[index] = (*answer.fieldTexts)[index];
      }
    }
  }
  return response;
}

} // namespace quillon
