#pragma once

#include "platform/Screens.h"
#include "platform/sim/SimObservers.h"

#include <optional>
#include <vector>

namespace quillon {

// The connected displays, primary first, in screen coordinates.
class SimScreens final : public Screens {
public:
  SimScreens();
  std::vector<ScreenInfo> screens() const override { return screens_; }
  std::optional<ScreenInfo> mainScreen() const override;
  Observation observeParametersChanged(std::function<void()> callback) override {
    return parametersChanged_.add(std::move(callback));
  }

  // Rearranges the displays without telling anyone, as a script's setup does.
  void setScreens(std::vector<ScreenInfo> screens) { screens_ = std::move(screens); }
  void postParametersChanged() const { parametersChanged_.post(); }
  // The height of the primary display, which anchors both coordinate
  // systems; 0 with no display.
  double primaryHeight() const;

private:
  std::vector<ScreenInfo> screens_;
  SimObservers<> parametersChanged_;
};

} // namespace quillon
