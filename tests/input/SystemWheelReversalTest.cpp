// The invert-wheel setting reaching the system's wheels, with the real
// composition root on the simulated desktop.
#include "input/SystemWheelReversal.h"

#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";

TEST(SystemWheelReversalTest, TheSettingAtLaunchAndEachChangeOfItReachTheSystemOnce) {
  SimDesktop desktop;
  desktop.defaults().set(domain, "invertMouseWheelEnabled", true);
  AppDelegate app(desktop.platform());
  SimWheelDirection& wheels = desktop.wheelDirection();
  EXPECT_FALSE(wheels.discreteWheelsReversed()) << "nothing changes before the launch";

  desktop.application().run(app);
  desktop.runUntilIdle();
  EXPECT_TRUE(wheels.discreteWheelsReversed());
  EXPECT_EQ(wheels.requests(), 1);

  app.settings().set(false, Settings::Key::copyKeysEnabled);
  EXPECT_EQ(wheels.requests(), 1) << "another setting's change leaves the wheels alone";

  app.settings().set(false, Settings::Key::invertMouseWheelEnabled);
  EXPECT_FALSE(wheels.discreteWheelsReversed());
  app.settings().set(true, Settings::Key::invertMouseWheelEnabled);
  EXPECT_TRUE(wheels.discreteWheelsReversed());
  EXPECT_EQ(wheels.requests(), 3);
}

} // namespace
} // namespace quillon
