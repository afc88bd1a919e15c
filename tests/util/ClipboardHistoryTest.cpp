#include "util/ClipboardHistory.h"

#include "platform/sim/SimDesktop.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
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
  NoPasteTargets pasteTargets;
  ClipboardHistory history{{
      .pasteboard = desktop.pasteboard(),
      .defaults = DefaultsDomain(desktop.defaults(), std::string(domain)),
      .mainQueue = desktop.runLoop(),
      .backgroundQueue = desktop.runLoop().backgroundQueue(),
      .workspace = desktop.workspace(),
      .pasteTargets = pasteTargets,
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
  ClipboardHistory reader{
      {other.pasteboard(), DefaultsDomain(other.defaults(), std::string(domain)), other.runLoop(),
       other.runLoop().backgroundQueue(), other.workspace(), pasteTargets, other.userInterface(),
       other.eventTaps(), other.localization(), other.log()}};
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

  // A megabyte entry shows its beginning like any other; a text whose few
  // characters are each a letter under hundreds of accents is counted whole.
  EXPECT_EQ(ClipboardHistory::displayText(std::string(100, 'a') + std::string(1 << 20, 'b')),
            std::string(80, 'a') + "…");
  std::string accented;
  for (int letter = 0; letter < 40; ++letter) {
    accented += "e";
    for (int accent = 0; accent < 900; ++accent) {
      accented += "\u0301";
    }
  }
  EXPECT_EQ(ClipboardHistory::displayText(accented), accented);
  EXPECT_EQ(characterCount(ClipboardHistory::displayText(accented + accented + accented)), 81u);
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
  desktop.runUntilIdle();
  EXPECT_TRUE(history.entries().empty());
  EXPECT_FALSE(stored().has_value());
  history.showPopupAtCursor(std::nullopt);
  EXPECT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Disabled);
}

TEST_F(ClipboardHistoryTest, ThePopupIsTitledAndShownAtThePointerAndPastesOnlyAfterItsDelays) {
  const int editor = desktop.bringToFront("com.example.editor");
  history.start();
  copy("first");
  copy("second");
  desktop.eventTaps().setPointerLocation({321, 654});
  history.showPopupAtCursor(RunningApplication{.processIdentifier = editor});
  const SimPopUpMenuRecord* menu = desktop.userInterface().popUpMenuRecord();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title, "Clipboard history");
  EXPECT_EQ(menu->location, (Point{321, 654}));
  desktop.bringToFront("com.example.other");
  desktop.journal().clear();
  ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(2), MenuChoice::Chosen);

  const std::string activation = "activate " + std::to_string(editor) + " options 1";
  const auto activated = [&] {
    const auto journal = desktop.journal().entries();
    return std::find(journal.begin(), journal.end(), activation) != journal.end();
  };
  const Duration justBefore{0.01};
  desktop.textField().takeDeliveredEvents();
  desktop.advance(ClipboardHistory::activationDelay - justBefore);
  EXPECT_FALSE(activated());
  desktop.advance(justBefore);
  EXPECT_TRUE(activated());
  desktop.advance(ClipboardHistory::pasteDelay - justBefore);
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());
  desktop.advance(justBefore);
  EXPECT_EQ(desktop.textField().takeDeliveredEvents().size(), 2u);
}

TEST_F(ClipboardHistoryTest, ATextTheStoreCannotHoldIsLeftOutAndTheRestIsStillStored) {
  history.start();
  copy("before");
  const std::string withNul("nul\0inside", 10);
  copy(withNul);
  copy("after");
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"after", withNul, "before"}));
  EXPECT_EQ(stored(), PropertyValue(array({"after", "before"})));
  const auto lines = desktop.log().takeNewLines();
  const auto mentionsNul = [](const std::string& line) {
    return line.find("NUL character") != std::string::npos;
  };
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), mentionsNul), 1);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("inside"), std::string::npos) << "no copied text in the log";
  }

  ClipboardHistory relaunched{
      {desktop.pasteboard(), DefaultsDomain(desktop.defaults(), std::string(domain)),
       desktop.runLoop(), desktop.runLoop().backgroundQueue(), desktop.workspace(), pasteTargets,
       desktop.userInterface(), desktop.eventTaps(), desktop.localization(), desktop.log()}};
  relaunched.start();
  EXPECT_EQ(relaunched.entries(), (std::vector<std::string>{"after", "before"}));
}

TEST_F(ClipboardHistoryTest, WhatTheProductPutsOnThePasteboardItselfIsNotRecorded) {
  history.start();
  copy("users own");
  copy("newest");
  desktop.pasteboard().setOwnString("a text the product shows for a moment");
  desktop.advance(ClipboardHistory::pollInterval);
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"newest", "users own"}));

  // Borrowing the pasteboard across polls: emptied, the selection copied
  // into it by the other application, the converted text pasted, and what
  // the user had there put back.
  const std::vector<PasteboardItem> saved = desktop.pasteboard().items();
  {
    Pasteboard::OwnUse borrowed = desktop.pasteboard().holdForOwnUse();
    desktop.pasteboard().setString("");
    desktop.advance(ClipboardHistory::pollInterval);
    desktop.pasteboard().setString("selected words");
    desktop.advance(ClipboardHistory::pollInterval);
    desktop.pasteboard().setString("converted words");
    desktop.advance(ClipboardHistory::pollInterval);
    desktop.pasteboard().clearContents();
    desktop.pasteboard().writeItems(saved);
  }
  desktop.advance(ClipboardHistory::pollInterval);
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"newest", "users own"}));

  // The user's next copy is recorded as ever.
  copy("users own");
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"users own", "newest"}));
}

TEST_F(ClipboardHistoryTest, AHugeTextIsKeptWholeOnlyWhileOnThePasteboard) {
  history.start();
  std::string huge;
  while (huge.size() < 3 * ClipboardHistory::maxStoredBytes) {
    huge += "жук ";
  }
  copy(huge);
  ASSERT_EQ(history.entries().size(), 1u);
  const std::string kept = history.entries().front();
  EXPECT_LE(kept.size(), ClipboardHistory::maxStoredBytes);
  EXPECT_GE(kept.size() + 3, ClipboardHistory::maxStoredBytes);
  EXPECT_TRUE(huge.starts_with(kept));
  EXPECT_EQ(stored(), PropertyValue(array({kept})));
  const auto items = ClipboardHistory::popupItems(history.entries(), desktop.localization());
  EXPECT_TRUE(items[0].title.ends_with("… (first 1 MB)"));
  EXPECT_EQ(ClipboardHistory::popupItems({"short"}, desktop.localization())[0].title, "1.  short");

  // Still on the pasteboard: picking it pastes the whole text.
  pick(1);
  EXPECT_EQ(desktop.pasteboard().string(), huge);
  copy("something else");
  pick(2);
  EXPECT_EQ(desktop.pasteboard().string(), kept);
  desktop.advance(ClipboardHistory::pollInterval);
  EXPECT_EQ(history.entries().front(), "something else");
}

// Holds a text far larger than anything the history keeps, and fails the
// test if anyone reads all of it.
class HugeTextPasteboard final : public Pasteboard {
public:
  long changeCount() const override { return changes; }
  std::vector<PasteboardItem> items() const override {
    ADD_FAILURE() << "the whole pasteboard was read";
    return {};
  }
  std::optional<PasteboardTextStart> stringStart(std::size_t maxBytes) const override {
    largestRead = std::max(largestRead, maxBytes);
    std::string start;
    while (start.size() < maxBytes) {
      start += "ё";
    }
    start.resize(maxBytes);
    return PasteboardTextStart{std::move(start), length};
  }
  void clearContents() override {}
  void writeItems(std::vector<PasteboardItem>) override {}

  long changes = 1;
  std::size_t length = 0;
  mutable std::size_t largestRead = 0;
};

TEST_F(ClipboardHistoryTest, AHugeCopyIsReadOnlyAsFarAsTheHistoryKeepsIt) {
  HugeTextPasteboard pasteboard;
  pasteboard.length = 500 * ClipboardHistory::maxStoredBytes;
  ClipboardHistory reader({pasteboard, DefaultsDomain(desktop.defaults(), "com.quillon.huge"),
                           desktop.runLoop(), desktop.runLoop().backgroundQueue(),
                           desktop.workspace(), pasteTargets, desktop.userInterface(),
                           desktop.eventTaps(), desktop.localization(), desktop.log()});
  reader.start();
  desktop.advance(ClipboardHistory::pollInterval);
  ASSERT_EQ(reader.entries().size(), 0u) << "there at launch, so not a copy";
  pasteboard.length = 600 * ClipboardHistory::maxStoredBytes;
  ++pasteboard.changes;
  desktop.advance(ClipboardHistory::pollInterval);
  EXPECT_LE(pasteboard.largestRead, ClipboardHistory::maxStoredBytes + 1);
  ASSERT_EQ(reader.entries().size(), 1u);
  EXPECT_EQ(reader.entries().front().size(), ClipboardHistory::maxStoredBytes);
  EXPECT_TRUE(
      ClipboardHistory::popupItems(reader.entries(), desktop.localization())[0].title.ends_with(
          "… (first 1 MB)"));
  const auto lines = desktop.log().lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Quillon clipboard: keeping the first 1048576 of 629145600 bytes of a "
                      "copied text"),
            lines.end());
}

// Tasks run only when the test says so, as a busy disk would.
class HeldBackgroundQueue final : public BackgroundQueue {
public:
  void async(Task task) override { tasks.push_back(std::move(task)); }
  void runAll() {
    while (!tasks.empty()) {
      Task task = std::move(tasks.front());
      tasks.pop_front();
      task();
    }
  }
  std::deque<Task> tasks;
};

TEST_F(ClipboardHistoryTest, WritesHappenOffTheCopyAreCoalescedAndAreNotLostAtExit) {
  HeldBackgroundQueue disk;
  auto writer = std::make_unique<ClipboardHistory>(ClipboardHistory::Dependencies{
      desktop.pasteboard(), DefaultsDomain(desktop.defaults(), std::string(domain)),
      desktop.runLoop(), disk, desktop.workspace(), pasteTargets, desktop.userInterface(),
      desktop.eventTaps(), desktop.localization(), desktop.log()});
  writer->start();
  copy("one");
  EXPECT_FALSE(stored().has_value()) << "the copy does not wait for the store";
  copy("two");
  copy("three");
  EXPECT_EQ(disk.tasks.size(), 1u);
  disk.runAll();
  EXPECT_EQ(stored(), PropertyValue(array({"three", "two", "one"})));

  copy("four");
  writer->clearHistory();
  copy("five");
  writer.reset();
  EXPECT_EQ(stored(), PropertyValue(array({"five"})));
  disk.runAll();
  EXPECT_EQ(stored(), PropertyValue(array({"five"}))) << "a late task writes nothing older";
}

} // namespace
} // namespace quillon

namespace quillon {
namespace {

// A window the desktop names, which the test can close.
struct FakeWindow {
  bool open = true;
  EventFlags pasteModifiers = flag::Control;
  int reactivations = 0;
};

class FakePasteTarget final : public PasteTarget {
public:
  explicit FakePasteTarget(std::shared_ptr<FakeWindow> window) : window_(std::move(window)) {}
  bool isOpen() const override { return window_->open; }
  bool reactivate() override {
    ++window_->reactivations;
    return window_->open;
  }
  EventFlags pasteModifiers() const override { return window_->pasteModifiers; }

private:
  std::shared_ptr<FakeWindow> window_;
};

class FakePasteTargets final : public PasteTargets {
public:
  std::unique_ptr<PasteTarget> focusedWindow() override {
    return focused ? std::make_unique<FakePasteTarget>(focused) : nullptr;
  }
  std::shared_ptr<FakeWindow> focused = std::make_shared<FakeWindow>();
};

// A pasteboard that tells of every change, as a desktop with change reports
// does; its count moves only through copies.
class ReportingPasteboard final : public Pasteboard {
public:
  long changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override { return items_; }
  bool isConcealed() const override { return itemsConcealed(items_); }
  void clearContents() override {
    items_.clear();
    ++changeCount_;
  }
  void writeItems(std::vector<PasteboardItem> items) override {
    items_ = std::move(items);
    ++changeCount_;
  }
  Observation observeChanges(std::function<void()> changed) override {
    changed_ = std::move(changed);
    return Observation(std::make_unique<Token>(changed_));
  }
  // Another application's copy, reported as the desktop reports it.
  void copyElsewhere(std::vector<PasteboardItem> items) {
    writeItems(std::move(items));
    if (changed_) {
      changed_();
    }
  }

private:
  struct Token final : Observation::Token {
    explicit Token(std::function<void()>& changed) : changed_(changed) {}
    void cancel() override { changed_ = nullptr; }
    std::function<void()>& changed_;
  };
  long changeCount_ = 0;
  std::vector<PasteboardItem> items_;
  std::function<void()> changed_;
};

PasteboardItem textItem(std::string_view text) {
  PasteboardItem item;
  item.representations.emplace(std::string(pasteboardtype::PlainText),
                               PropertyData(text.begin(), text.end()));
  return item;
}

PasteboardItem secretItem(std::string_view text) {
  PasteboardItem item = textItem(text);
  const std::string_view secret = pasteboardtype::PasswordManagerSecret;
  item.representations.emplace(std::string(pasteboardtype::PasswordManagerHint),
                               PropertyData(secret.begin(), secret.end()));
  return item;
}

class ClipboardPasteTargetTest : public ::testing::Test {
protected:
  ClipboardHistory::Dependencies services(Pasteboard& pasteboard) {
    return {.pasteboard = pasteboard,
            .defaults = DefaultsDomain(desktop.defaults(), std::string(domain)),
            .mainQueue = desktop.runLoop(),
            .backgroundQueue = desktop.runLoop().backgroundQueue(),
            .workspace = desktop.workspace(),
            .pasteTargets = targets,
            .userInterface = desktop.userInterface(),
            .eventTaps = desktop.eventTaps(),
            .localization = desktop.localization(),
            .log = desktop.log()};
  }
  // Picks the first entry and lets every delay pass; the keys that arrived.
  std::vector<DeliveredEvent> pickFirstAndWait(ClipboardHistory& history) {
    history.showPopupAtCursor(std::nullopt);
    EXPECT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Chosen);
    desktop.textField().takeDeliveredEvents();
    desktop.advance(ClipboardHistory::activationDelay);
    desktop.advance(ClipboardHistory::pasteDelay);
    return desktop.textField().takeDeliveredEvents();
  }

  SimDesktop desktop;
  FakePasteTargets targets;
};

TEST_F(ClipboardPasteTargetTest, APickGoesBackToTheWindowAndPastesWithItsOwnChord) {
  ClipboardHistory history(services(desktop.pasteboard()));
  history.start();
  desktop.pasteboard().setString("ls -la");
  desktop.advance(ClipboardHistory::pollInterval);
  // A terminal: Control+Shift+V, as Control+V belongs to its programs.
  targets.focused->pasteModifiers = flag::Control | flag::Shift;
  const auto events = pickFirstAndWait(history);
  EXPECT_EQ(targets.focused->reactivations, 1);
  ASSERT_EQ(events.size(), 2u);
  for (const DeliveredEvent& event : events) {
    EXPECT_EQ(event.keyCode, keycode::V);
    EXPECT_EQ(event.flags, flag::Control | flag::Shift);
  }
}

TEST_F(ClipboardPasteTargetTest, AWindowThatClosedGetsNothingAndNoOtherWindowDoes) {
  ClipboardHistory history(services(desktop.pasteboard()));
  history.start();
  desktop.pasteboard().setString("private note");
  desktop.advance(ClipboardHistory::pollInterval);

  // Closed while the menu was open.
  history.showPopupAtCursor(std::nullopt);
  targets.focused->open = false;
  ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Chosen);
  desktop.textField().takeDeliveredEvents();
  desktop.advance(ClipboardHistory::activationDelay + ClipboardHistory::pasteDelay);
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());
  EXPECT_EQ(desktop.pasteboard().string(), "private note") << "the pick still sets the clipboard";

  // Closed between its return to the front and the paste.
  targets.focused = std::make_shared<FakeWindow>();
  history.showPopupAtCursor(std::nullopt);
  ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Chosen);
  desktop.advance(ClipboardHistory::activationDelay);
  targets.focused->open = false;
  desktop.textField().takeDeliveredEvents();
  desktop.advance(ClipboardHistory::pasteDelay);
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());

  const auto lines = desktop.log().takeNewLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("nothing pasted") != std::string::npos;
                          }),
            2);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("private note"), std::string::npos) << line;
  }
}

TEST_F(ClipboardPasteTargetTest, AnApplicationThatQuitGetsNothingWhereNoWindowIsNamed) {
  targets.focused = nullptr;
  ClipboardHistory history(services(desktop.pasteboard()));
  history.start();
  desktop.pasteboard().setString("text");
  desktop.advance(ClipboardHistory::pollInterval);
  const int editor = desktop.bringToFront("com.example.editor");
  history.showPopupAtCursor(RunningApplication{.processIdentifier = editor});
  desktop.workspace().quit(editor);
  desktop.bringToFront("com.example.other");
  ASSERT_EQ(desktop.userInterface().choosePopUpMenuItem(1), MenuChoice::Chosen);
  desktop.textField().takeDeliveredEvents();
  desktop.advance(ClipboardHistory::activationDelay + ClipboardHistory::pasteDelay);
  EXPECT_TRUE(desktop.textField().takeDeliveredEvents().empty());
}

TEST_F(ClipboardPasteTargetTest, ReportedChangesAreReadWithoutPollingAndSecretsAreNotKept) {
  ReportingPasteboard pasteboard;
  ClipboardHistory history(services(pasteboard));
  history.start();
  pasteboard.copyElsewhere({textItem("first")});
  desktop.runUntilIdle();
  EXPECT_EQ(history.entries(), std::vector<std::string>{"first"});

  pasteboard.copyElsewhere({secretItem("hunter2")});
  desktop.runUntilIdle();
  // An unreported change is not seen however long one waits: nobody polls.
  pasteboard.writeItems({textItem("unreported")});
  desktop.advance(Duration(5));
  EXPECT_EQ(history.entries(), std::vector<std::string>{"first"});
  const auto lines = desktop.log().takeNewLines();
  EXPECT_EQ(lines, std::vector<std::string>{
                       "Quillon clipboard: a copy marked secret by its owner is not recorded"});

  pasteboard.copyElsewhere({textItem("second")});
  desktop.runUntilIdle();
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"second", "first"}));
}

} // namespace
} // namespace quillon
