#include "app/LoginItemManager.h"

#include "platform/sim/SimLoginItems.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class LoginItemManagerTest : public ::testing::Test {
protected:
  SimJournal journal;
  SimLoginItems loginItems{journal};
  SimLog log;
  LoginItemManager manager{loginItems, log};
};

using Calls = std::vector<std::string>;

TEST_F(LoginItemManagerTest, AsksTheSystemOnlyWhenItsStatusDiffers) {
  EXPECT_FALSE(manager.setEnabled(false));
  EXPECT_TRUE(loginItems.calls().empty());
  EXPECT_TRUE(manager.setEnabled(true));
  EXPECT_TRUE(manager.setEnabled(true));
  EXPECT_EQ(loginItems.calls(), Calls{"register"});
  EXPECT_FALSE(manager.setEnabled(false));
  EXPECT_FALSE(manager.setEnabled(false));
  EXPECT_EQ(loginItems.calls(), (Calls{"register", "unregister"}));
  // Waiting for the user's approval is not being registered.
  loginItems.setStatus(LoginItemStatus::RequiresApproval);
  EXPECT_FALSE(manager.isEnabled());
  EXPECT_TRUE(manager.setEnabled(true));
  EXPECT_EQ(loginItems.calls(), (Calls{"register", "unregister", "register"}));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(LoginItemManagerTest, ARefusalIsLoggedAndTheRealStatusReturned) {
  loginItems.refuseWith("Operation not permitted");
  EXPECT_FALSE(manager.setEnabled(true));
  loginItems.setStatus(LoginItemStatus::Enabled);
  EXPECT_TRUE(manager.setEnabled(false));
  EXPECT_EQ(log.lines(), (Calls{"Quillon: failed to update login item: Operation not permitted",
                                "Quillon: failed to update login item: Operation not permitted"}));
  EXPECT_EQ(loginItems.calls(), (Calls{"register", "unregister"}));
}

} // namespace
} // namespace quillon
