#include "util/ClipboardHistory.h"

#include "platform/sim/SimDesktop.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";

class ClipboardHistoryTest : public ::testing::Test {
protected:
  void copy(std::string_view text) {
    desktop.pasteboard().setString(text);
    desktop.advance(ClipboardHistory::pollInterval);
  }
  std::optional<PropertyValue> stored(std::string_view key = ClipboardHistory::storeKey) {
    return desktop.defaults().object(domain, key);
  }
  static PropertyArray array(const std::vector<std::string>& texts) {
    return PropertyArray(texts.begin(), texts.end());
  }
  // Picks the n-th item of the pop-up shown over whatever is frontmost.
  void pick(std::size_t n) {
    history.showPopupAtCursor(std::nullopt);
    ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(n), MenuChoice::Chosen);
  }

  SimDesktop desktop;
  ClipboardHistory history{{
      .pasteboard = desktop.pasteboard(),
      .defaults = DefaultsDomain(desktop.defaults(), std::string(domain)),
      .mainQueue = desktop.runLoop(),
      .workspace = desktop.workspace(),
      .userInterface = desktop.userInterface(),
      .eventTaps = desktop.eventTaps(),
      .localization = desktop.localization(),
      .log = desktop.log(),
  }};
};

TEST_F(ClipboardHistoryTest, RecordsDistinctTextsNewestFirstAndStoresEveryChange) {
  desktop.pasteboard().setString("on the pasteboard before launch");
  history.start();
  copy("alpha");
  copy("alpha");
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"alpha"}));
  copy("beta");
  copy("gamma");
  copy("alpha");
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"alpha", "gamma", "beta"}));
  EXPECT_EQ(stored(), PropertyValue(array({"alpha", "gamma", "beta"})));

  // Neither an image nor an empty text is a history entry.
  desktop.pasteboard().clearContents();
  desktop.pasteboard().writeItems({PasteboardItem{{{std::string(pasteboardtype::Png), {1, 2}}}}});
  desktop.advance(ClipboardHistory::pollInterval);
  copy("");
  EXPECT_EQ(history.entries().size(), 3u);
}

TEST_F(ClipboardHistoryTest, TheThirtyFirstTextPushesTheOldestOut) {
  history.start();
  for (int n = 1; n <= 31; ++n) {
    copy("text " + std::to_string(n));
  }
  ASSERT_EQ(history.entries().size(), ClipboardHistory::maxEntries);
  EXPECT_EQ(history.entries().front(), "text 31");
  EXPECT_EQ(history.entries().back(), "text 2");
  EXPECT_EQ(stored()->get<PropertyArray>()->size(), ClipboardHistory::maxEntries);
}

TEST_F(ClipboardHistoryTest, AStoredHistoryComesBackAndAnUnreadableOneIsKeptAside) {
  desktop.defaults().set(domain, ClipboardHistory::storeKey, array({"kept", "older"}));
  history.start();
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"kept", "older"}));

  SimDesktop other;
  const PropertyValue corrupt(PropertyArray{"text", 42});
  other.defaults().set(domain, ClipboardHistory::storeKey, corrupt);
  ClipboardHistory reader{{other.pasteboard(),
                           DefaultsDomain(other.defaults(), std::string(domain)), other.runLoop(),
                           other.workspace(), other.userInterface(), other.eventTaps(),
                           other.localization(), other.log()}};
  reader.start();
  EXPECT_TRUE(reader.entries().empty());
  const auto lines = other.log().takeNewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines.front().find("not a list of texts"), std::string::npos);
  other.pasteboard().setString("new");
  other.advance(ClipboardHistory::pollInterval);
  EXPECT_EQ(other.defaults().object(domain, ClipboardHistory::unreadableStoreKey), corrupt);
  EXPECT_EQ(other.defaults().object(domain, ClipboardHistory::storeKey),
            PropertyValue(array({"new"})));
}

TEST_F(ClipboardHistoryTest, ThePopupShowsTwentyNumberedOneLineEntries) {
  EXPECT_EQ(ClipboardHistory::popupItems({}, desktop.localization()).size(), 1u);
  EXPECT_FALSE(ClipboardHistory::popupItems({}, desktop.localization()).front().enabled);

  std::vector<std::string> entries;
  for (int n = 1; n <= 25; ++n) {
    entries.push_back("entry\t" + std::to_string(n));
  }
  std::string lines;
  while (lines.size() < 200) {
    lines += "line of text\n";
  }
  entries[2] = lines;
  const auto items = ClipboardHistory::popupItems(entries, desktop.localization());
  ASSERT_EQ(items.size(), 22u);
  EXPECT_EQ(items[0].title, "1.  entry 1");
  EXPECT_EQ(items[2].title.substr(0, 4), "3.  ");
  EXPECT_EQ(characterCount(items[2].title), 4u + 80u + 1u);
  EXPECT_EQ(items[2].title.find('\n'), std::string::npos);
  EXPECT_TRUE(items[2].title.ends_with("…"));
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < 20; ++i) {
    keys.push_back(items[i].keyEquivalent);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
                                            "",  "",  "",  "",  "",  "",  "",  "",  "",  ""}));
  EXPECT_TRUE(items[20].separator);
  EXPECT_EQ(items[21].title, "Clear clipboard history");

  // Characters, not bytes: a Cyrillic text is cut after 80 letters.
  std::string cyrillic;
  for (int n = 0; n < 81; ++n) {
    cyrillic += "ж";
  }
  EXPECT_EQ(characterCount(ClipboardHistory::displayText(cyrillic)), 81u);
  EXPECT_EQ(ClipboardHistory::displayText(cyrillic.substr(0, 160)), cyrillic.substr(0, 160));
}

TEST_F(ClipboardHistoryTest, PickingPastesTheWholeEntryIntoTheTargetWithAnUnmarkedCommandV) {
  const int editor = desktop.bringToFront("com.example.editor");
  history.start();
  std::string lines;
  while (lines.size() < 200) {
    lines += "line of text\n";
  }
  copy(lines);
  copy("newest");
  desktop.bringToFront("com.example.other");
  desktop.journal().clear();

  history.showPopupAtCursor(RunningApplication{.processIdentifier = editor});
  ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(2), MenuChoice::Chosen);
  EXPECT_EQ(desktop.pasteboard().string(), lines);

  desktop.textField().takeDeliveredEvents();
  desktop.advance(ClipboardHistory::activationDelay);
  const auto journal = desktop.journal().entries();
  EXPECT_NE(std::find(journal.begin(), journal.end(),
                      "activate " + std::to_string(editor) + " options 1"),
            journal.end());
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());
  desktop.advance(ClipboardHistory::pasteDelay);
  const auto events = desktop.textField().takeDeliveredEvents();
  ASSERT_EQ(events.size(), 2u);
  for (const DeliveredEvent& event : events) {
    EXPECT_EQ(event.keyCode, keycode::V);
    EXPECT_EQ(event.flags, flag::Command);
    EXPECT_FALSE(event.marked);
  }
  EXPECT_EQ(desktop.textField().text(), lines);
  desktop.advance(ClipboardHistory::pollInterval);
  EXPECT_EQ(history.entries().front(), "newest") << "picking does not reorder";
}

TEST_F(ClipboardHistoryTest, ClearingEmptiesTheHistoryAndItsStoredValue) {
  history.start();
  copy("secret");
  pick(2);
  EXPECT_TRUE(history.entries().empty());
  EXPECT_FALSE(stored().has_value());
  history.showPopupAtCursor(std::nullopt);
  EXPECT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Disabled);
}

} // namespace
} // namespace quillon
