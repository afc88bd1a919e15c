#include "power/LidStateMonitor.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class LidStateMonitorTest : public ::testing::Test {
protected:
  LidStateMonitorTest() {
    monitor.setOnLidClose([this] { ++closes; });
  }

  void setLid(bool closed) {
    desktop.power().setLidClosed(closed);
    desktop.runUntilIdle();
  }

  SimDesktop desktop;
  LidStateMonitor monitor{desktop.power(), desktop.log()};
  int closes = 0;
};

TEST_F(LidStateMonitorTest, EachClosingFiresOnceHoweverManyMessagesArrive) {
  monitor.start();
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon LidStateMonitor: started, initial closed=Optional(false)"});
  setLid(true);
  desktop.power().sendInterestMessage();
  desktop.power().sendInterestMessage();
  setLid(true);
  desktop.runUntilIdle();
  EXPECT_EQ(closes, 1);
  setLid(false);
  setLid(false);
  setLid(true);
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon lid: closed", "Quillon lid: open", "Quillon lid: closed"}));
}

TEST_F(LidStateMonitorTest, ALidClosedAtStartFiresOnlyAfterOpeningAndClosingAgain) {
  desktop.power().setRootDomainProperty("AppleClamshellState", PropertyValue(1));
  monitor.start();
  EXPECT_EQ(monitor.lastClosedState(), true);
  desktop.power().sendInterestMessage();
  desktop.runUntilIdle();
  EXPECT_EQ(closes, 0);
  setLid(false);
  setLid(true);
  EXPECT_EQ(closes, 1);
}

TEST_F(LidStateMonitorTest, AnUnreadableLidCountsAsOpenOnceAndFiresNothing) {
  monitor.start();
  setLid(true);
  desktop.log().takeNewLines();
  desktop.power().setRootDomainProperty("AppleClamshellState", PropertyValue("closed"));
  desktop.power().sendInterestMessage();
  desktop.power().sendInterestMessage();
  desktop.runUntilIdle();
  EXPECT_EQ(monitor.lastClosedState(), std::nullopt);
  EXPECT_EQ(desktop.log().takeNewLines(), Lines{"Quillon lid: open"});
  // From undetermined, closing counts as a transition too.
  setLid(true);
  EXPECT_EQ(closes, 2);
}

TEST_F(LidStateMonitorTest, StartRegistersOnceAndRetriesOnlyAfterAFailure) {
  desktop.power().failInterestRegistration(Power::InterestFailure::RegistrationFailed, -536870212);
  monitor.start();
  desktop.power().failInterestRegistration(Power::InterestFailure::NotificationPortFailed);
  monitor.start();
  desktop.power().failInterestRegistration(std::nullopt);
  desktop.power().setRootDomainPresent(false);
  monitor.start();
  EXPECT_FALSE(monitor.isStarted());
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon LidStateMonitor: IOServiceAddInterestNotification failed (-536870212)",
                   "Quillon LidStateMonitor: IONotificationPortCreate failed",
                   "Quillon LidStateMonitor: IOPMrootDomain not found"}));

  desktop.power().setRootDomainPresent(true);
  monitor.start();
  monitor.start();
  EXPECT_TRUE(monitor.isStarted());
  EXPECT_EQ(desktop.power().interestObserverCount(), 1u);
  setLid(true);
  EXPECT_EQ(closes, 1);
}

TEST_F(LidStateMonitorTest, AMonitorThatIsGoneHearsNothing) {
  {
    LidStateMonitor shortLived{desktop.power(), desktop.log()};
    shortLived.setOnLidClose([this] { ++closes; });
    shortLived.start();
    desktop.power().setLidClosed(true);
  }
  desktop.runUntilIdle();
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(desktop.power().interestObserverCount(), 0u);
}

} // namespace
} // namespace quillon
