// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Geometry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// One editable line in an alert, with its label to the left of it; frames
// in the accessory view's coordinates, origin at its bottom left.
struct AlertField {
  std::string label;
  Rect labelFrame;
  Rect fieldFrame;
  std::string text;
  std::string placeholder;
};

struct AlertRequest {
  std::string messageText;
  std::string informativeText;
  // The first is the default button.
  std::vector<std::string> buttons;
  Size accessorySize{0, 0};
  std::vector<AlertField> fields;
  // The field that has the keyboard focus when the alert appears.
  std::optional<std::size_t> initialField;
};

struct AlertResponse {
  // Index into the request's buttons.
  std::size_t button = 0;
  // The fields' texts when the alert ended, in the request's order.
  std::vector<std::string> fieldTexts;
};

// Modal alerts: the call returns once the user has pressed a button.
class Alerts {
public:
  virtual ~Alerts() = default;
  virtual AlertResponse runModal(const AlertRequest& request) = 0;
};

} // namespace quillon
