#include "finder/PeekPanel.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct SizeCase {
  std::size_t entries;
  Size expected;
};

class PeekPanelSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PeekPanelSizeTest, ContentSizeFollowsTheGrid) {
  const SizeCase& size = GetParam();
  EXPECT_EQ(PeekPanel::contentSize(size.entries), size.expected) << size.entries << " entries";
}

INSTANTIATE_TEST_SUITE_P(Sizes, PeekPanelSizeTest,
                         ::testing::Values(SizeCase{0, {140, 136}}, SizeCase{1, {140, 136}},
                                           SizeCase{2, {192, 136}}, SizeCase{4, {368, 136}},
                                           SizeCase{5, {368, 232}}, SizeCase{16, {368, 424}}));

class PeekPanelTest : public ::testing::Test {
protected:
  std::vector<std::filesystem::path> entries(std::size_t count) {
    std::vector<std::filesystem::path> paths;
    for (std::size_t index = 0; index < count; ++index) {
      paths.emplace_back("/folder/entry " + std::to_string(index));
    }
    return paths;
  }

  SimDesktop desktop;
  PeekPanel panel{desktop.userInterface(), desktop.localization()};
};

TEST_F(PeekPanelTest, EntriesFillRowsOfFourAndTheWindowTakesTheSize) {
  std::vector<std::filesystem::path> chosen;
  panel.update("Photos", entries(5),
               [&](const std::filesystem::path& entry) { chosen.push_back(entry); });
  const SimFloatingPanelRecord& record = *desktop.userInterface().floatingPanel();
  EXPECT_EQ(record.content.title, "Photos");
  ASSERT_EQ(record.content.rows.size(), 2u);
  EXPECT_EQ(record.content.rows[0].size(), 4u);
  ASSERT_EQ(record.content.rows[1].size(), 1u);
  EXPECT_EQ(record.content.rows[1][0].name, "entry 4");
  EXPECT_FALSE(record.content.placeholder);
  EXPECT_EQ(record.frame().size, (Size{368, 232}));
  // Never key, never in front of the user's application by itself.
  EXPECT_EQ(record.style.level, 3);
  EXPECT_FALSE(record.visible);

  panel.itemTapped("/folder/entry 2");
  EXPECT_EQ(chosen, std::vector<std::filesystem::path>{"/folder/entry 2"});
}

TEST_F(PeekPanelTest, AnEmptyFolderSaysSoAndARefillReplacesEverything) {
  panel.update("Many", entries(16), nullptr);
  panel.update("Nothing", {}, nullptr);
  const SimFloatingPanelRecord& record = *desktop.userInterface().floatingPanel();
  EXPECT_TRUE(record.content.rows.empty());
  EXPECT_EQ(record.content.placeholder, "Empty folder");
  EXPECT_EQ(record.frame().size, (Size{140, 136}));
  // A tap without a callback does nothing.
  panel.itemTapped("/folder/entry 0");
}

} // namespace
} // namespace quillon
