// Keep-awake against the simulated machine: pmset and osascript are fake
// tools that read and change the power settings as the real ones do.
#include "power/SleepBlocker.h"

#include "core/NotificationCenter.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

TEST(PmsetOutputTest, FindsTheValueWhereverAndHoweverTheLineIsWritten) {
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled(" SleepDisabled\t\t1\n"), 1);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("\t sleepdisabled   0  \n"), 0);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("DisableSleep 0"), 0);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SLEEPDISABLED 2 extra words"), 2);
  // The first line with a value wins; lines without one are passed over.
  EXPECT_EQ(
      PmsetLidSleepPrevention::parseSleepDisabled("System-wide power settings:\n SleepDisabled\n"
                                                  " SleepDisabled yes\n\n\n disablesleep 1\n"
                                                  " SleepDisabled 0\n"),
      1);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled(" sleep 1\n displaysleep 10\n"),
            std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled(""), std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled(" SleepDisabled\n"), std::nullopt);
  // Not decimal integers: a sign alone, hexadecimal, a fraction, an overflow.
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled -"), std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled 0x1"), std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled 1.0"), std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled 99999999999999999999999"),
            std::nullopt);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled +1"), 1);
  EXPECT_EQ(PmsetLidSleepPrevention::parseSleepDisabled("SleepDisabled -1"), -1);
}

TEST(PmsetOutputTest, TheScriptAsksForTheAdministratorsConsent) {
  EXPECT_EQ(PmsetLidSleepPrevention::disableSleepScript(true),
            "do shell script \"/usr/bin/pmset -b disablesleep 1\" with administrator privileges");
  EXPECT_EQ(PmsetLidSleepPrevention::disableSleepScript(false),
            "do shell script \"/usr/bin/pmset -b disablesleep 0\" with administrator privileges");
}

class SleepBlockerTest : public ::testing::Test {
protected:
  SleepBlockerTest() { desktop.log().takeNewLines(); }

  void scriptPmset(std::string output) {
    desktop.processes().scriptNextResult(std::string(PmsetLidSleepPrevention::Pmset),
                                         {0, std::move(output), {}, nullptr});
  }
  // Toggles and lets the background and main queues finish.
  std::optional<bool> toggle(bool on) {
    std::optional<bool> answer;
    blocker.requestToggle(on, [&](bool succeeded) { answer = succeeded; });
    desktop.runUntilIdle();
    return answer;
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"), notifications};
  SleepBlocker blocker{{desktop.platform().lidSleepPrevention, desktop.power(), desktop.runLoop(),
                        desktop.runLoop().backgroundQueue(), desktop.log(), settings}};
};

TEST_F(SleepBlockerTest, ReadsTheSystemSwitchFromPmset) {
  EXPECT_FALSE(blocker.isDisableSleepOnBatteryActive());
  desktop.power().setSleepDisabled(true);
  EXPECT_TRUE(blocker.isDisableSleepOnBatteryActive());
  EXPECT_EQ(desktop.processes().lastArguments("/usr/bin/pmset"), Lines{"-g"});
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon SleepBlocker: parsed pmset sleep-disabled = 0",
                   "Quillon SleepBlocker: parsed pmset sleep-disabled = 1"}));
}

TEST_F(SleepBlockerTest, UnreadablePmsetOutputCountsAsSleepAllowed) {
  const std::string treatedAsZero =
      "Quillon SleepBlocker: no SleepDisabled line in pmset -g output — treating as 0";
  scriptPmset("");
  EXPECT_FALSE(blocker.isDisableSleepOnBatteryActive());
  // Bytes that are not UTF-8 read as no output, whatever they seem to say.
  scriptPmset(std::string(" SleepDisabled 1\n\xff\xfe\x00\x80", 21));
  EXPECT_FALSE(blocker.isDisableSleepOnBatteryActive());
  scriptPmset(" SleepDisabled\n");
  EXPECT_FALSE(blocker.isDisableSleepOnBatteryActive());
  EXPECT_EQ(desktop.log().takeNewLines(), Lines(3, treatedAsZero));

  // Megabytes of noise before the line still find it.
  std::string enormous;
  for (int line = 0; line < 100000; ++line) {
    enormous += " hibernatefile        /var/vm/sleepimage\n";
  }
  scriptPmset(enormous + "\tSleepDisabled\t\t1\n");
  EXPECT_TRUE(blocker.isDisableSleepOnBatteryActive());

  desktop.processes().removeTool("/usr/bin/pmset");
  EXPECT_FALSE(blocker.isDisableSleepOnBatteryActive());
  EXPECT_EQ(desktop.log().takeNewLines().back(),
            "Quillon SleepBlocker: failed to run pmset -g: The file \"/usr/bin/pmset\" doesn't "
            "exist.");
}

TEST_F(SleepBlockerTest, ASuccessfulToggleChangesTheSystemTheAssertionAndTheSetting) {
  int announced = 0;
  const auto observation =
      notifications.observe(Settings::ChangedNotification, [&] { ++announced; });
  bool answeredAtOnce = false;
  blocker.requestToggle(true, [&](bool) { answeredAtOnce = true; });
  EXPECT_FALSE(answeredAtOnce);
  desktop.runUntilIdle();

  EXPECT_EQ(desktop.processes().lastArguments("/usr/bin/osascript"),
            (Lines{"-e", "do shell script \"/usr/bin/pmset -b disablesleep 1\" with "
                         "administrator privileges"}));
  EXPECT_TRUE(desktop.power().sleepDisabled());
  EXPECT_TRUE(settings.sleepBlockerEnabled());
  EXPECT_EQ(announced, 1);
  ASSERT_TRUE(blocker.isAssertionActive());
  const auto& assertion = desktop.power().assertions().at(blocker.assertionID());
  EXPECT_EQ(assertion.type, "PreventSystemSleep");
  EXPECT_EQ(assertion.name, "Quillon: keep system awake (lid close)");

  EXPECT_EQ(toggle(false), true);
  EXPECT_FALSE(desktop.power().sleepDisabled());
  EXPECT_FALSE(settings.sleepBlockerEnabled());
  EXPECT_FALSE(blocker.isAssertionActive());
  EXPECT_EQ(blocker.assertionID(), 0u);
  EXPECT_TRUE(desktop.power().assertions().empty());
}

TEST_F(SleepBlockerTest, CancellingThePasswordPromptChangesNothing) {
  desktop.systemTools().setPasswordAnswer(SimSystemTools::PasswordAnswer::Cancel);
  int announced = 0;
  const auto observation =
      notifications.observe(Settings::ChangedNotification, [&] { ++announced; });
  EXPECT_EQ(toggle(true), false);
  EXPECT_FALSE(settings.sleepBlockerEnabled());
  EXPECT_FALSE(desktop.power().sleepDisabled());
  EXPECT_TRUE(desktop.power().assertions().empty());
  EXPECT_EQ(announced, 0);
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon SleepBlocker: pmset disablesleep 1 failed (status=1): 0:79: execution "
                  "error: User canceled. (-128)"});

  desktop.processes().removeTool("/usr/bin/osascript");
  EXPECT_EQ(toggle(true), false);
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon SleepBlocker: failed to spawn osascript: The file "
                  "\"/usr/bin/osascript\" doesn't exist."});
  EXPECT_FALSE(settings.sleepBlockerEnabled());
}

TEST_F(SleepBlockerTest, TheAssertionIsHeldOnceAndARefusalLeavesItUnset) {
  blocker.setAssertion(true);
  blocker.setAssertion(true);
  EXPECT_EQ(desktop.power().assertions().size(), 1u);
  blocker.setAssertion(false);
  blocker.setAssertion(false);
  EXPECT_TRUE(desktop.power().assertions().empty());

  desktop.power().setAssertionsRefused(true);
  blocker.setAssertion(true);
  EXPECT_FALSE(blocker.isAssertionActive());
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
}

TEST_F(SleepBlockerTest, DisplaySleepIsStartedAndNotAwaited) {
  blocker.sleepDisplayNow();
  EXPECT_EQ(desktop.power().displaySleepCount(), 1);
  EXPECT_EQ(desktop.processes().lastArguments("/usr/bin/pmset"), Lines{"displaysleepnow"});
  desktop.processes().removeTool("/usr/bin/pmset");
  blocker.sleepDisplayNow();
  EXPECT_EQ(desktop.log().takeNewLines(),
            Lines{"Quillon SleepBlocker: pmset displaysleepnow failed to spawn: The file "
                  "\"/usr/bin/pmset\" doesn't exist."});
}

TEST_F(SleepBlockerTest, AnAnswerForABlockerThatIsGoneIsDropped) {
  auto shortLived = std::make_unique<SleepBlocker>(SleepBlocker::Dependencies{
      desktop.platform().lidSleepPrevention, desktop.power(), desktop.runLoop(),
      desktop.runLoop().backgroundQueue(), desktop.log(), settings});
  bool answered = false;
  shortLived->requestToggle(true, [&](bool) { answered = true; });
  shortLived.reset();
  desktop.runUntilIdle();
  EXPECT_FALSE(answered);
  EXPECT_FALSE(settings.sleepBlockerEnabled());
}

} // namespace
} // namespace quillon
