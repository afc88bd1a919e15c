#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

// A long run must hold the same memory however long it lasts: what was read
// is released and what nobody reads keeps only its newest part.
TEST(SimRecordsTest, ReadingReleasesAndUnreadRecordsKeepOnlyTheNewest) {
  SimDesktop desktop;
  SimLog& log = desktop.log();
  log.write("read once");
  EXPECT_EQ(log.takeNewLines(), std::vector<std::string>{"read once"});
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(log.contains("read once"));

  const std::size_t overflow = 3;
  for (std::size_t index = 0; index < SimLog::maximumUnreadLines + overflow; ++index) {
    log.write("line " + std::to_string(index));
  }
  const auto lines = log.takeNewLines();
  ASSERT_EQ(lines.size(), SimLog::maximumUnreadLines);
  EXPECT_EQ(lines.front(), "line 3");
  EXPECT_EQ(lines.back(), "line " + std::to_string(SimLog::maximumUnreadLines + overflow - 1));

  for (std::size_t index = 0; index < SimJournal::maximumEntries + overflow; ++index) {
    desktop.journal().record("entry " + std::to_string(index));
  }
  EXPECT_EQ(desktop.journal().entries().size(), SimJournal::maximumEntries);
  EXPECT_EQ(desktop.journal().entries().front(), "entry 3");

  for (std::size_t index = 0; index < SimSound::maximumUnreadSounds + overflow; ++index) {
    desktop.sound().play(index == 0 ? "first" : "Pop");
  }
  EXPECT_EQ(desktop.sound().takePlayed().size(), SimSound::maximumUnreadSounds);
  EXPECT_TRUE(desktop.sound().takePlayed().empty());
}

TEST(SimRecordsTest, DeliveredEventsAreBoundedAndCountedEvenWhenDropped) {
  SimDesktop desktop;
  SimTextField& field = desktop.textField();
  desktop.keyboard().tap(keycode::A);
  EXPECT_EQ(field.takeDeliveredEvents().size(), 2u);
  EXPECT_TRUE(field.deliveredEvents().empty());

  // Each tap delivers a key down and a key up.
  const std::size_t taps = SimTextField::maximumUnreadEvents / 2 + 1;
  for (std::size_t index = 0; index + 1 < taps; ++index) {
    desktop.keyboard().tap(keycode::A);
  }
  desktop.keyboard().tap(keycode::B);
  const auto events = field.takeDeliveredEvents();
  ASSERT_EQ(events.size(), SimTextField::maximumUnreadEvents);
  EXPECT_EQ(events.back().keyCode, keycode::B);
  EXPECT_EQ(events.back().type, EventType::KeyUp);
  EXPECT_EQ(field.deliveredCount(), 2 + 2 * taps);
  EXPECT_EQ(field.text().size(), taps + 1) << "the field keeps all it was given";
}

} // namespace
} // namespace quillon
