#pragma once

#include "platform/WindowLevels.h"
#include "platform/sim/SimApplications.h"

#include <utility>
#include <vector>

namespace quillon {

// The window server's levels for the simulated windows. Requests for a
// window number nobody owns are recorded and change nothing.
class SimWindowLevels final : public WindowLevels {
public:
  static constexpr std::int32_t NormalLevel = 0;
  static constexpr std::int32_t FloatingLevel = 3;

  explicit SimWindowLevels(SimApplications& applications) : applications_(applications) {}

  std::int32_t level(WindowLevelKey key) const override {
    return key == WindowLevelKey::Floating ? FloatingLevel : NormalLevel;
  }
  void setWindowLevel(std::uint32_t windowNumber, std::int32_t level) override {
    requests_.emplace_back(windowNumber, level);
    if (SimWindow* window = applications_.window(windowNumber)) {
      window->level = level;
    }
  }

  const std::vector<std::pair<std::uint32_t, std::int32_t>>& requests() const { return requests_; }

private:
  SimApplications& applications_;
  std::vector<std::pair<std::uint32_t, std::int32_t>> requests_;
};

} // namespace quillon
